// The overlay panel on a real X server, over a focused target window of this process.
#include "platform/linux/desktop/qmloverlaypanel.h"
#include "qtprinters.h"
#include "xtool.h"

#include <QApplication>
#include <QLineEdit>
#include <QQuickItem>
#include <QQuickView>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

const QString xdotool = QStringLiteral("xdotool");
const QRect targetFrame(100, 100, 500, 200);
const QRect panelFrame(200, 120, 300, 60);

// Counts the mouse presses it receives.
class PressCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

QString x11Output(const QString &program, const QStringList &arguments)
{
    return QString::fromUtf8(runTool(program, arguments).output).trimmed();
}

class QmlOverlayPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto *layout = new QVBoxLayout(&m_target);
        layout->addWidget(m_edit);
        layout->addWidget(m_pressCounter, 1);
        m_target.setGeometry(targetFrame);
        m_target.show();
        m_target.activateWindow();
        m_edit->setFocus();
        ASSERT_TRUE(pumpUntil([&] { return m_target.isActiveWindow() && m_edit->hasFocus(); }));
    }

    void TearDown() override
    {
        m_panel.close();
        m_target.close();
        pump(50);
    }

    QQuickItem *item(const char *name) const
    {
        QQuickView *view = m_panel.window();
        return view != nullptr ? view->rootObject()->findChild<QQuickItem *>(QString::fromLatin1(name)) : nullptr;
    }

    QWidget m_target;
    QLineEdit *m_edit = new QLineEdit(&m_target);
    PressCounter *m_pressCounter = new PressCounter;
    QmlOverlayPanel m_panel;
};

TEST_F(QmlOverlayPanelTest, OpensAtTheFrameAsAnInputlessNotificationWindow)
{
    m_panel.open(panelFrame, OverlayStatus::Processing, QStringLiteral("Improving prompt..."));
    QQuickView *view = m_panel.window();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return view->isExposed(); }));

    EXPECT_EQ(view->geometry(), panelFrame);
    EXPECT_EQ(view->color(), QColor(Qt::transparent));
    const QString id = QString::number(view->winId());
    const QString geometry = x11Output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
    EXPECT_TRUE(geometry.contains(QStringLiteral("Absolute upper-left X:  200")));
    EXPECT_TRUE(geometry.contains(QStringLiteral("Absolute upper-left Y:  120")));
    EXPECT_TRUE(geometry.contains(QStringLiteral("Width: 300")));
    EXPECT_TRUE(geometry.contains(QStringLiteral("Height: 60")));
    const QString properties = x11Output(QStringLiteral("xprop"), {QStringLiteral("-id"), id});
    EXPECT_TRUE(properties.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_NOTIFICATION"))) << properties.toStdString();
    EXPECT_TRUE(properties.contains(QStringLiteral("Client accepts input or input focus: False")))
        << properties.toStdString();
}

TEST_F(QmlOverlayPanelTest, TheTargetKeepsTheFocusAndTheKeys)
{
    m_panel.open(panelFrame, OverlayStatus::Processing, QStringLiteral("Improving prompt..."));
    ASSERT_TRUE(pumpUntil([&] { return m_panel.window()->isExposed(); }));
    m_panel.show(OverlayStatus::Success, QStringLiteral("Done!"));
    pump(300);

    EXPECT_TRUE(m_target.isActiveWindow());
    EXPECT_FALSE(m_panel.window()->isActive());
    EXPECT_EQ(x11Output(xdotool, {QStringLiteral("getwindowfocus")}), QString::number(m_target.winId()));
    runTool(xdotool, {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("abc")});
    EXPECT_TRUE(pumpUntil([&] { return m_edit->text() == QStringLiteral("abc"); })) << m_edit->text().toStdString();
}

TEST_F(QmlOverlayPanelTest, ClicksReachTheWindowBeneath)
{
    // The panel lies over the lower part of the target, where the press counter is.
    const QRect over(targetFrame.x() + 100, targetFrame.y() + 120, 300, 60);
    m_panel.open(over, OverlayStatus::Error, QStringLiteral("Failed to improve prompt"));
    ASSERT_TRUE(pumpUntil([&] { return m_panel.window()->isExposed(); }));
    ASSERT_TRUE(m_pressCounter->geometry().translated(targetFrame.topLeft()).contains(over.center()));

    runTool(xdotool, {QStringLiteral("mousemove"), QString::number(over.center().x()),
                      QString::number(over.center().y()), QStringLiteral("click"), QStringLiteral("1")});

    EXPECT_TRUE(pumpUntil([&] { return m_pressCounter->presses == 1; }));
    EXPECT_TRUE(m_target.isActiveWindow());
}

TEST_F(QmlOverlayPanelTest, ShowChangesStatusAndMessageInPlace)
{
    m_panel.open(panelFrame, OverlayStatus::Processing, QStringLiteral("Improving prompt..."));
    QQuickView *opened = m_panel.window();
    ASSERT_NE(item("message"), nullptr);
    EXPECT_EQ(item("message")->property("text").toString(), QStringLiteral("Improving prompt..."));
    EXPECT_TRUE(item("spinner")->isVisible());
    EXPECT_FALSE(item("symbol")->isVisible());

    struct Row
    {
        OverlayStatus status;
        const char *message;
        const char *symbol;
    };
    for (const Row &row :
         {Row{OverlayStatus::Success, "Done! Using General", "checkmark-circle.svg"},
          Row{OverlayStatus::Error, "Insufficient credits. Please upgrade your plan.", "xmark-circle.svg"}}) {
        SCOPED_TRACE(row.message);
        m_panel.show(row.status, QString::fromUtf8(row.message));
        EXPECT_EQ(m_panel.window(), opened);
        EXPECT_EQ(opened->geometry(), panelFrame);
        EXPECT_EQ(item("message")->property("text").toString(), QString::fromUtf8(row.message));
        EXPECT_FALSE(item("spinner")->isVisible());
        EXPECT_TRUE(item("symbol")->isVisible());
        EXPECT_TRUE(item("symbol")->property("source").toUrl().toString().endsWith(QString::fromUtf8(row.symbol)));
    }
}

TEST_F(QmlOverlayPanelTest, ALongMessageStaysOnOneTruncatedLine)
{
    const QString longMessage = QStringLiteral("The server answered with a very long description ").repeated(4);
    m_panel.open(panelFrame, OverlayStatus::Error, longMessage);
    QQuickItem *message = item("message");
    ASSERT_NE(message, nullptr);
    pump(50);

    EXPECT_TRUE(message->property("truncated").toBool());
    EXPECT_EQ(message->property("lineCount").toInt(), 1);
    EXPECT_LE(message->mapRectToScene(message->boundingRect()).right(), 300 - 16);
    EXPECT_EQ(m_panel.window()->geometry(), panelFrame);
}

TEST_F(QmlOverlayPanelTest, FadesInFromTransparent)
{
    m_panel.open(panelFrame, OverlayStatus::Processing, QStringLiteral("Improving prompt..."));
    QQuickItem *root = m_panel.window()->rootObject();
    EXPECT_LT(root->opacity(), 1.0);
    EXPECT_TRUE(pumpUntil([&] { return root->opacity() == 1.0; }));
}

TEST_F(QmlOverlayPanelTest, OpeningAgainShowsTheSameWindowAfreshAndCloseHidesIt)
{
    m_panel.open(panelFrame, OverlayStatus::Success, QStringLiteral("Copied to clipboard"));
    QPointer<QQuickView> first = m_panel.window();
    ASSERT_TRUE(pumpUntil([&] { return first->rootObject()->opacity() == 1.0; }));
    m_panel.open(panelFrame.translated(0, 100), OverlayStatus::Processing, QStringLiteral("Improving prompt..."));

    ASSERT_EQ(m_panel.window(), first.data());
    EXPECT_EQ(m_panel.window()->geometry(), panelFrame.translated(0, 100));
    EXPECT_EQ(first->rootObject()->property("status").toString(), QStringLiteral("processing"));
    EXPECT_LT(first->rootObject()->opacity(), 1.0);
    EXPECT_TRUE(pumpUntil([&] { return first->rootObject()->opacity() == 1.0; }));

    m_panel.close();
    EXPECT_EQ(m_panel.window(), nullptr);
    EXPECT_FALSE(first->isVisible());
    // Nothing is open to change.
    m_panel.show(OverlayStatus::Error, QStringLiteral("ignored"));
    EXPECT_EQ(m_panel.window(), nullptr);
}

TEST_F(QmlOverlayPanelTest, TheActiveScreenAreaIsTheAvailableGeometryOfTheFocusedScreen)
{
    EXPECT_EQ(m_panel.activeScreenArea(), m_target.screen()->availableGeometry());
}

} // namespace
