// XTestKeyboardEvents against the test session's X server, typing into a focused line edit of this process.
#include "e2e/x11/x11testsupport.h"
#include "platform/linux/x11/x11globalshortcuts.h"
#include "platform/linux/x11/xtestkeyboardevents.h"
#include "runtime/qtscheduler.h"
#include "runtime/tasks.h"
#include "support/runtask.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace {

constexpr quint64 command = KeyboardEvents::commandMask;
constexpr quint64 shift = 0x20000;
constexpr quint64 control = 0x40000;
constexpr quint64 option = 0x80000;

class XTestKeyboardEventsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetKeyboard();
        QApplication::clipboard()->clear(QClipboard::Clipboard);
        ASSERT_TRUE(m_target.showFocused());
    }
    void TearDown() override { resetKeyboard(); }

    bool post(int keyCode, quint64 flags) { return runTask(m_events.postKeystroke(keyCode, flags)); }

    QtScheduler m_scheduler;
    XTestKeyboardEvents m_events{qtConnection(), m_scheduler};
    TargetLineEdit m_target{QStringLiteral("teh quick brown fox")};
};

struct TranslationRow
{
    const char *name;
    int keyCode;
    quint64 flags;
    int expectedKey;
    Qt::KeyboardModifiers expectedModifiers;
};

void PrintTo(const TranslationRow &row, std::ostream *out)
{
    *out << row.name;
}

class KeyTranslation : public XTestKeyboardEventsTest, public ::testing::WithParamInterface<TranslationRow>
{};

TEST_P(KeyTranslation, TargetReceivesExactlyTheTranslatedCombination)
{
    const TranslationRow &row = GetParam();
    ASSERT_TRUE(post(row.keyCode, row.flags));
    ASSERT_TRUE(waitUntil([this] { return !m_target.presses.isEmpty(); }));
    pump(100);
    const QList<TargetLineEdit::Press> expected{{row.expectedKey, row.expectedModifiers}};
    EXPECT_EQ(m_target.presses, expected);
    EXPECT_FALSE(isKeyDown(XK_Control_L));
    EXPECT_FALSE(isKeyDown(XK_Shift_L));
}

INSTANTIATE_TEST_SUITE_P(
    X11, KeyTranslation,
    ::testing::Values(TranslationRow{"CommandCIsControlC", 8, command, Qt::Key_C, Qt::ControlModifier},
                      TranslationRow{"CommandVIsControlV", 9, command, Qt::Key_V, Qt::ControlModifier},
                      TranslationRow{"CommandAIsControlA", 0, command, Qt::Key_A, Qt::ControlModifier},
                      TranslationRow{"ControlIsControl", 8, control, Qt::Key_C, Qt::ControlModifier},
                      TranslationRow{"CommandShiftI", 34, command | shift, Qt::Key_I,
                                     Qt::ControlModifier | Qt::ShiftModifier},
                      TranslationRow{"OptionIsAlt", 32, option, Qt::Key_U, Qt::AltModifier},
                      TranslationRow{"NoModifiers", 49, 0, Qt::Key_Space, Qt::NoModifier}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(XTestKeyboardEventsTest, CopyAndPasteReallyHappenInTheTarget)
{
    m_target.selectAll();
    ASSERT_TRUE(post(KeyboardEvents::copyKey, command));
    EXPECT_TRUE(waitUntil([] {
        return QApplication::clipboard()->text(QClipboard::Clipboard) == QStringLiteral("teh quick brown fox");
    }));

    QApplication::clipboard()->setText(QStringLiteral("the quick brown fox"), QClipboard::Clipboard);
    m_target.selectAll();
    ASSERT_TRUE(post(KeyboardEvents::pasteKey, command));
    EXPECT_TRUE(waitUntil([this] { return m_target.text() == QStringLiteral("the quick brown fox"); }));
}

// The user still holds Shift (and Control) from Ctrl+Shift+I when the copy is posted.
struct HeldRow
{
    const char *name;
    QStringList heldKeys;
    int userReleasesAfterMs; // -1: never; the keys are released virtually
};

void PrintTo(const HeldRow &row, std::ostream *out)
{
    *out << row.name;
}

class HeldShortcutKeys : public XTestKeyboardEventsTest, public ::testing::WithParamInterface<HeldRow>
{};

TEST_P(HeldShortcutKeys, CopyStillArrivesAsExactlyControlC)
{
    const HeldRow &row = GetParam();
    m_target.selectAll();
    ASSERT_TRUE(xdotool(QStringList{QStringLiteral("keydown")} + row.heldKeys));
    ASSERT_TRUE(isKeyDown(XK_Shift_L));
    pump(100);
    m_target.presses.clear();
    if (row.userReleasesAfterMs >= 0) {
        QTimer::singleShot(row.userReleasesAfterMs,
                           [&row] { xdotool(QStringList{QStringLiteral("keyup")} + row.heldKeys); });
    }

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(post(KeyboardEvents::copyKey, command));
    EXPECT_LT(clock.elapsed(), 5000) << "the wait for released keys is bounded";

    EXPECT_TRUE(waitUntil([] {
        return QApplication::clipboard()->text(QClipboard::Clipboard) == QStringLiteral("teh quick brown fox");
    }));
    // A held letter repeats into the target until it is released; what matters is how the copy arrived.
    m_target.presses.removeIf([](const TargetLineEdit::Press &press) { return press.key == Qt::Key_I; });
    const QList<TargetLineEdit::Press> expected{{Qt::Key_C, Qt::ControlModifier}};
    EXPECT_EQ(m_target.presses, expected);
    EXPECT_FALSE(isKeyDown(XK_I));
    EXPECT_FALSE(isKeyDown(XK_Shift_L));
    EXPECT_FALSE(isKeyDown(XK_Control_L));
}

INSTANTIATE_TEST_SUITE_P(X11, HeldShortcutKeys,
                         ::testing::Values(HeldRow{"ShiftHeldThroughout", {QStringLiteral("shift")}, -1},
                                           HeldRow{
                                               "ControlShiftIHeldThroughout",
                                               {QStringLiteral("ctrl"), QStringLiteral("shift"), QStringLiteral("i")},
                                               -1},
                                           HeldRow{"ShiftReleasedByTheUser", {QStringLiteral("shift")}, 300}),
                         [](const auto &info) { return std::string(info.param.name); });

QCoro::Task<> copyFromShortcut(XTestKeyboardEvents *events, bool *posted)
{
    QCoro::Task<bool> posting = events->postKeystroke(KeyboardEvents::copyKey, command);
    *posted = co_await std::move(posting);
}

// The whole path: the user presses Ctrl+Shift+I, grabbed by this program, and the action posts the copy while the
// keys may still be down (the held I keeps the keyboard grabbed by this program until it is released).
class CopyFromTheShortcut : public XTestKeyboardEventsTest, public ::testing::WithParamInterface<int>
{};

TEST_P(CopyFromTheShortcut, ReachesTheTargetAsExactlyControlC)
{
    const int userReleasesAfterMs = GetParam();
    QTemporaryDir directory;
    X11GlobalShortcuts shortcuts(
        qtConnection(),
        std::make_unique<QSettings>(directory.filePath(QStringLiteral("defaults.ini")), QSettings::IniFormat));
    bool posted = false;
    int fired = 0;
    ASSERT_TRUE(shortcuts.declare(QStringLiteral("improveText"), KeyCombination{34, command | shift}, [&] {
        ++fired;
        startDetached(copyFromShortcut(&m_events, &posted), QStringLiteral("Test"), QStringLiteral("copy"));
    }));
    m_target.selectAll();
    m_target.presses.clear();

    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+shift+i")}));
    if (userReleasesAfterMs >= 0) {
        QTimer::singleShot(userReleasesAfterMs, [] {
            xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+shift+i")});
        });
    }
    ASSERT_TRUE(waitUntil([&posted] { return posted; }, 5000));
    EXPECT_TRUE(waitUntil([] {
        return QApplication::clipboard()->text(QClipboard::Clipboard) == QStringLiteral("teh quick brown fox");
    }));
    EXPECT_EQ(fired, 1);
    const QList<TargetLineEdit::Press> expected{{Qt::Key_C, Qt::ControlModifier}};
    EXPECT_EQ(m_target.presses, expected);
}

INSTANTIATE_TEST_SUITE_P(X11, CopyFromTheShortcut, ::testing::Values(300, -1), [](const auto &info) {
    return std::string(info.param < 0 ? "KeysStillHeld" : "UserReleasesTheKeys");
});

TEST_F(XTestKeyboardEventsTest, KeyWithoutTranslationIsNotPosted)
{
    EXPECT_FALSE(post(200, command));
    pump(100);
    EXPECT_TRUE(m_target.presses.isEmpty());
}

TEST(XTestKeyboardEventsWithoutDisplay, PostingFails)
{
    QtScheduler scheduler;
    XTestKeyboardEvents events(nullptr, scheduler);
    EXPECT_FALSE(runTask(events.postKeystroke(KeyboardEvents::copyKey, command)));
}

} // namespace
