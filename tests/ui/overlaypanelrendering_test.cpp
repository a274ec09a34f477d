// The overlay panel drawn offscreen in each status. The pictures are kept under the build folder
// (artifacts/ui/overlay-<status>.png) for review.
#include "platform/linux/desktop/qmloverlaypanel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QQuickItem>
#include <QQuickView>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QRect frame(490, 20, 300, 60);

template <typename Predicate>
bool pumpUntil(Predicate done)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

struct StatusCase
{
    const char *name;
    OverlayStatus status;
    const char *message;
    // The colour channel that dominates the tint.
    int dominant; // 0 red, 1 green, 2 blue
};

void PrintTo(const StatusCase &row, std::ostream *out)
{
    *out << row.name;
}

class OverlayPanelRenderingTest : public ::testing::TestWithParam<StatusCase>
{
protected:
    void TearDown() override { m_panel.close(); }

    QmlOverlayPanel m_panel;
};

TEST_P(OverlayPanelRenderingTest, DrawsTheMessageOnARoundedCardInTheStatusTint)
{
    const StatusCase &row = GetParam();
    m_panel.open(frame, row.status, QString::fromUtf8(row.message));
    QQuickView *view = m_panel.window();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return view->rootObject()->opacity() == 1.0; }));

    auto *message = view->rootObject()->findChild<QQuickItem *>(QStringLiteral("message"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->property("text").toString(), QString::fromUtf8(row.message));
    EXPECT_TRUE(message->isVisible());
    const QRectF placed = message->mapRectToScene(message->boundingRect());
    EXPECT_TRUE(QRectF(16, 12, 300 - 32, 60 - 24).contains(placed)) << placed.x() << "," << placed.y();

    const QImage picture = view->grabWindow();
    ASSERT_EQ(picture.size(), QSize(300, 60) * view->devicePixelRatio());
    const QString folder = QStringLiteral(LUMORA_ARTIFACT_DIR);
    QDir().mkpath(folder);
    EXPECT_TRUE(picture.save(folder + QStringLiteral("/overlay-%1.png").arg(QString::fromLatin1(row.name))));

    // Outside the rounded corner the window is transparent; inside, the tint shows.
    // (Offscreen pictures have no alpha channel: there, transparent comes out black.)
    const QColor corner = picture.pixelColor(0, 0);
    EXPECT_TRUE(corner.alpha() == 0 || corner.rgb() == qRgb(0, 0, 0)) << corner.name().toStdString();
    const QColor inside = picture.pixelColor(picture.width() - 8, picture.height() / 2);
    const int channels[] = {inside.red(), inside.green(), inside.blue()};
    for (int channel = 0; channel < 3; ++channel) {
        if (channel != row.dominant) {
            EXPECT_GT(channels[row.dominant], channels[channel]) << inside.name().toStdString();
        }
    }
    EXPECT_GT(inside.alpha(), 200);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, OverlayPanelRenderingTest,
    ::testing::Values(StatusCase{"processing", OverlayStatus::Processing, "Improving prompt...", 2},
                      StatusCase{"success", OverlayStatus::Success, "Done! Using General", 1},
                      StatusCase{"error", OverlayStatus::Error, "Insufficient credits. Please upgrade your plan.", 0}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
