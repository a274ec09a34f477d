// Alerts drawn offscreen: every text and button inside the window, in reading order. The pictures are kept under
// the build folder (artifacts/ui/alert-<name>.png) for review.
#include "platform/linux/desktop/alertwindow.h"
#include "quickitems.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QQuickItem>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct AlertCase
{
    const char *name;
    AlertSpec alert;
};

void PrintTo(const AlertCase &row, std::ostream *out)
{
    *out << row.name;
}

class AlertWindowRenderingTest : public ::testing::TestWithParam<AlertCase>
{};

TEST_P(AlertWindowRenderingTest, EveryTextAndButtonFitsInReadingOrder)
{
    AlertWindow window(GetParam().alert);
    ASSERT_TRUE(window.isLoaded());
    window.present();
    pump(100);

    const QRectF inside(QPointF(0, 0), window.size());
    QQuickItem *root = window.rootObject();
    QQuickItem *message = findQuickItem(root, QStringLiteral("messageText"));
    QQuickItem *informative = findQuickItem(root, QStringLiteral("informativeText"));
    ASSERT_NE(message, nullptr);
    ASSERT_NE(informative, nullptr);
    const QRectF messageArea = message->mapRectToScene(message->boundingRect());
    const QRectF informativeArea = informative->mapRectToScene(informative->boundingRect());
    EXPECT_TRUE(inside.contains(messageArea));
    EXPECT_TRUE(inside.contains(informativeArea));
    EXPECT_LE(messageArea.bottom(), informativeArea.top());

    qreal previousLeft = inside.right();
    for (int index = 0; index < GetParam().alert.buttons.size(); ++index) {
        QQuickItem *button = findQuickItem(root, QStringLiteral("button%1").arg(index));
        ASSERT_NE(button, nullptr);
        const QRectF area = button->mapRectToScene(button->boundingRect());
        EXPECT_TRUE(inside.contains(area)) << index;
        EXPECT_GE(area.top(), informativeArea.bottom()) << index;
        // The first button, the default, at the right; the others to its left in order.
        EXPECT_LE(area.right(), previousLeft) << index;
        previousLeft = area.left();
    }

    const QString folder = QStringLiteral(LUMORA_ARTIFACT_DIR);
    QDir().mkpath(folder);
    EXPECT_TRUE(
        window.grabWindow().save(folder + QStringLiteral("/alert-%1.png").arg(QString::fromLatin1(GetParam().name))));
}

INSTANTIATE_TEST_SUITE_P(
    Alerts, AlertWindowRenderingTest,
    ::testing::Values(AlertCase{"authentication",
                                {QStringLiteral("Authentication Required"),
                                 QStringLiteral("Please sign in to use Lumora Prompt."),
                                 {QStringLiteral("Sign In"), QStringLiteral("Cancel")}}},
                      AlertCase{
                          "accessibility",
                          {QStringLiteral("Accessibility Permission Required"),
                           QStringLiteral("Lumora Prompt needs Accessibility permission to read selected text.\n\n"
                                          "1. Open System Settings > Privacy & Security > Accessibility\n"
                                          "2. Enable \"Lumora Prompt\"\n3. Restart the app"),
                           {QStringLiteral("Open System Settings"), QStringLiteral("Later")}}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
