// Alerts on a real X server, ended by real clicks and keys.
#include "platform/linux/desktop/alertwindow.h"
#include "platform/linux/desktop/qmlalerts.h"
#include "qtprinters.h"
#include "quickitems.h"
#include "xtool.h"

#include <QGuiApplication>
#include <QQuickItem>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QString xdotool = QStringLiteral("xdotool");

AlertSpec signInAlert()
{
    return AlertSpec{.messageText = QStringLiteral("Authentication Required"),
                     .informativeText = QStringLiteral("Please sign in to use Lumora Prompt."),
                     .buttons = {QStringLiteral("Sign In"), QStringLiteral("Cancel")}};
}

QCoro::Task<> record(QCoro::Task<int> task, std::optional<int> &result)
{
    result = co_await std::move(task);
}

AlertWindow *openAlert()
{
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (QWindow *window : windows) {
        auto *alert = qobject_cast<AlertWindow *>(window);
        if (alert != nullptr && alert->isVisible()) {
            return alert;
        }
    }
    return nullptr;
}

bool anyAlertWindow()
{
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [](QWindow *window) { return qobject_cast<AlertWindow *>(window) != nullptr; });
}

QQuickItem *child(AlertWindow *alert, const QString &name)
{
    QQuickItem *found = findQuickItem(alert->rootObject(), name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

void clickAt(QPoint point)
{
    runTool(xdotool, {QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                      QStringLiteral("click"), QStringLiteral("1")});
}

void clickButton(AlertWindow *alert, int index)
{
    QQuickItem *button = child(alert, QStringLiteral("button%1").arg(index));
    ASSERT_NE(button, nullptr);
    const QPointF centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    clickAt(alert->mapToGlobal(centre.toPoint()));
}

void pressKey(const char *key)
{
    runTool(xdotool, {QStringLiteral("key"), QString::fromLatin1(key)});
}

class QmlAlertsTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        // No alert may stay open for the next test, and an ended one is deleted, not just hidden.
        EXPECT_TRUE(pumpUntil([] { return openAlert() == nullptr; }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(pumpUntil([] { return !anyAlertWindow(); }));
    }

    // Opens `alert`, waits until it has the focus, and returns it.
    AlertWindow *start(AlertSpec alert)
    {
        record(m_alerts.runModal(std::move(alert)), m_result);
        AlertWindow *window = nullptr;
        const bool shown = pumpUntil([&] {
            window = openAlert();
            return window != nullptr && window->isExposed() && window->isActive();
        });
        EXPECT_TRUE(shown) << "no active alert window";
        return shown ? window : nullptr;
    }

    int result()
    {
        EXPECT_TRUE(pumpUntil([&] { return m_result.has_value(); })) << "the alert did not end";
        return m_result.value_or(-2);
    }

    QmlAlerts m_alerts;
    std::optional<int> m_result;
};

struct EndingCase
{
    const char *name;
    std::function<void(AlertWindow *)> end;
    int index;
};

void PrintTo(const EndingCase &row, std::ostream *out)
{
    *out << row.name;
}

class AlertEndingTest : public QmlAlertsTest, public ::testing::WithParamInterface<EndingCase>
{};

TEST_P(AlertEndingTest, CompletesWithTheIndexOfWhatEndedIt)
{
    AlertWindow *alert = start(signInAlert());
    ASSERT_NE(alert, nullptr);
    EXPECT_FALSE(m_result.has_value());

    GetParam().end(alert);

    EXPECT_EQ(result(), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, AlertEndingTest,
    ::testing::Values(EndingCase{"first_button", [](AlertWindow *alert) { clickButton(alert, 0); }, 0},
                      EndingCase{"second_button", [](AlertWindow *alert) { clickButton(alert, 1); }, 1},
                      EndingCase{"escape", [](AlertWindow *) { pressKey("Escape"); }, -1},
                      EndingCase{"return_takes_the_default", [](AlertWindow *) { pressKey("Return"); }, 0},
                      EndingCase{"window_closed", [](AlertWindow *alert) { alert->close(); }, -1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(QmlAlertsTest, ShowsTheTextsWithTheirLineBreaksAndTheButtonsInOrder)
{
    const QString informative = QStringLiteral("Lumora Prompt needs Accessibility permission to read selected text.\n\n"
                                               "1. Open System Settings > Privacy & Security > Accessibility\n"
                                               "2. Enable \"Lumora Prompt\"\n3. Restart the app");
    AlertWindow *alert = start(AlertSpec{.messageText = QStringLiteral("Accessibility Permission Required"),
                                         .informativeText = informative,
                                         .buttons = {QStringLiteral("Open System Settings"), QStringLiteral("Later")}});
    ASSERT_NE(alert, nullptr);

    EXPECT_EQ(child(alert, QStringLiteral("messageText"))->property("text").toString(),
              QStringLiteral("Accessibility Permission Required"));
    QQuickItem *informativeText = child(alert, QStringLiteral("informativeText"));
    EXPECT_EQ(informativeText->property("text").toString(), informative);
    EXPECT_GE(informativeText->property("lineCount").toInt(), 5);
    QQuickItem *first = child(alert, QStringLiteral("button0"));
    QQuickItem *second = child(alert, QStringLiteral("button1"));
    EXPECT_EQ(first->property("text").toString(), QStringLiteral("Open System Settings"));
    EXPECT_EQ(second->property("text").toString(), QStringLiteral("Later"));
    EXPECT_TRUE(first->property("highlighted").toBool());
    EXPECT_FALSE(second->property("highlighted").toBool());
    // The whole dialog is on the screen, with the informative text above the buttons.
    EXPECT_TRUE(alert->screen()->geometry().contains(alert->geometry()));
    EXPECT_LT(informativeText->mapToScene(QPointF(0, informativeText->height())).y(),
              first->mapToScene(QPointF(0, 0)).y());

    pressKey("Escape");
    EXPECT_EQ(result(), -1);
}

TEST_F(QmlAlertsTest, TwoAlertsEndIndependently)
{
    AlertWindow *first = start(signInAlert());
    ASSERT_NE(first, nullptr);
    std::optional<int> second;
    record(m_alerts.runModal(AlertSpec{.messageText = QStringLiteral("Second"),
                                       .informativeText = QString(),
                                       .buttons = {QStringLiteral("OK")}}),
           second);
    pump(200);

    first->close();
    EXPECT_EQ(result(), -1);
    EXPECT_FALSE(second.has_value());
    AlertWindow *remaining = openAlert();
    ASSERT_NE(remaining, nullptr);
    remaining->close();
    EXPECT_TRUE(pumpUntil([&] { return second.has_value(); }));
    EXPECT_EQ(second, -1);
}

} // namespace
