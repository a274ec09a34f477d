// X11GlobalShortcuts against the test session's X server, pressed with xdotool (XTest), as a user would.
#include "e2e/x11/x11testsupport.h"
#include "platform/linux/x11/x11globalshortcuts.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <X11/keysym.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

const QString improveText = QStringLiteral("improveText");
const QString voiceInput = QStringLiteral("voiceInput");
constexpr KeyCombination controlShiftI{34, 0x120000};
constexpr KeyCombination controlShiftU{32, 0x120000};
constexpr KeyCombination controlShiftK{40, 0x120000};

// Another X client, to hold or probe grabs.
class OtherClient
{
public:
    OtherClient()
        : m_connection(xcb_connect(nullptr, nullptr))
    {}
    ~OtherClient() { disconnect(); }

    // Grabs Ctrl+Shift+`keysym` on the root window; false when someone else holds it.
    bool grabControlShift(xcb_keysym_t keysym)
    {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_generic_error_t *error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT,
                                               codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(codes);
        xcb_key_symbols_free(symbols);
        std::free(error);
        return error == nullptr;
    }

    void disconnect()
    {
        if (m_connection) {
            xcb_disconnect(m_connection);
            m_connection = nullptr;
        }
    }

private:
    xcb_connection_t *m_connection;
};

class X11GlobalShortcutsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetKeyboard();
        ASSERT_TRUE(m_directory.isValid());
    }
    void TearDown() override
    {
        m_shortcuts.reset();
        resetKeyboard();
    }

    QString settingsPath() const { return m_directory.filePath(QStringLiteral("defaults.ini")); }

    std::unique_ptr<X11GlobalShortcuts> make(xcb_connection_t *connection = qtConnection())
    {
        return std::make_unique<X11GlobalShortcuts>(connection,
                                                    std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat));
    }

    bool declareImprove()
    {
        return m_shortcuts->declare(improveText, controlShiftI, [this] { ++m_improvePresses; });
    }

    // Presses `keys` (xdotool syntax) and gives the key events time to arrive.
    void press(const QString &keys)
    {
        const int before = m_improvePresses + m_voicePresses;
        ASSERT_TRUE(xdotool({QStringLiteral("key"), keys}));
        waitUntil([&] { return m_improvePresses + m_voicePresses != before; }, 300);
        pump(50);
    }

    QTemporaryDir m_directory;
    std::unique_ptr<X11GlobalShortcuts> m_shortcuts = make();
    int m_improvePresses = 0;
    int m_voicePresses = 0;
};

class LockStates : public X11GlobalShortcutsTest, public ::testing::WithParamInterface<QStringList>
{};

TEST_P(LockStates, CombinationFiresOncePerPressWhateverTheLocks)
{
    ASSERT_TRUE(declareImprove());
    for (const QString &lock : GetParam()) {
        ASSERT_TRUE(xdotool({QStringLiteral("key"), lock}));
    }

    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 1);
    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 2);
    press(QStringLiteral("ctrl+i"));
    press(QStringLiteral("ctrl+shift+u"));
    EXPECT_EQ(m_improvePresses, 2) << "other combinations do not fire it";
}

INSTANTIATE_TEST_SUITE_P(X11, LockStates,
                         ::testing::Values(QStringList{}, QStringList{QStringLiteral("Num_Lock")},
                                           QStringList{QStringLiteral("Caps_Lock")},
                                           QStringList{QStringLiteral("Num_Lock"), QStringLiteral("Caps_Lock")}),
                         [](const auto &info) {
                             return info.param.isEmpty()
                                        ? std::string("NoLocks")
                                        : info.param.join(QString()).remove(QLatin1Char('_')).toStdString();
                         });

TEST_F(X11GlobalShortcutsTest, HeldCombinationFiresOnce)
{
    ASSERT_TRUE(declareImprove());
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+shift+i")}));
    pump(1200); // longer than the auto-repeat delay
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+shift+i")}));
    pump(100);
    EXPECT_EQ(m_improvePresses, 1);

    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 2) << "the next press fires again";
}

// Key events of Ctrl+Shift+I as the server delivers them, fed straight to the filter so their time stamps are
// exact: without detectable auto-repeat a held key sends release/press pairs with one time stamp, and a pair may
// still be queued when the key is really released.
struct KeyEventRow
{
    const char *name;
    QList<std::pair<bool, quint32>> events; // (press, time stamp)
    int expectedFirings;
};

void PrintTo(const KeyEventRow &row, std::ostream *out)
{
    *out << row.name;
}

class KeyEventSequences : public X11GlobalShortcutsTest, public ::testing::WithParamInterface<KeyEventRow>
{};

TEST_P(KeyEventSequences, FireOncePerRealPress)
{
    ASSERT_TRUE(declareImprove());
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(qtConnection());
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, XK_i);
    ASSERT_NE(codes, nullptr);
    const xcb_keycode_t keycode = codes[0];
    std::free(codes);
    xcb_key_symbols_free(symbols);

    for (const auto &[press, time] : GetParam().events) {
        xcb_key_press_event_t event{};
        event.response_type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
        event.detail = keycode;
        event.time = time;
        event.state = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
        EXPECT_TRUE(m_shortcuts->nativeEventFilter("xcb_generic_event_t", &event, nullptr));
    }
    pump(50);
    EXPECT_EQ(m_improvePresses, GetParam().expectedFirings);
}

INSTANTIATE_TEST_SUITE_P(
    X11, KeyEventSequences,
    ::testing::Values(
        KeyEventRow{"RepeatPairsThenRelease",
                    {{true, 1000}, {false, 1660}, {true, 1660}, {false, 1700}, {true, 1700}, {false, 1710}},
                    1},
        KeyEventRow{"RepeatPairOneTickApart", {{true, 1000}, {false, 1660}, {true, 1661}, {false, 1710}}, 1},
        KeyEventRow{"DetectableRepeats", {{true, 1000}, {true, 1660}, {true, 1700}, {false, 1710}}, 1},
        KeyEventRow{"ReleaseThenNewPress", {{true, 1000}, {false, 1100}, {true, 1200}, {false, 1300}}, 2},
        KeyEventRow{"RepeatsThenNewPress", {{true, 1000}, {false, 1660}, {true, 1660}, {false, 1700}, {true, 1800}}, 2},
        KeyEventRow{"TimeStampWrapsAround", {{true, 0xfffffff0}, {false, 0xfffffffe}, {true, 20}}, 2}),
    [](const auto &info) { return std::string(info.param.name); });

// A keyboard map change moves the letter I to another key code; the shortcut must follow it and let go of the old
// key code. Each row changes the map in one way and names the letter now on I's old key code. In the test
// session's map (Xvfb, evdev, us) I is key code 31 and K is 45; TearDown puts that map back.
struct MapChangeRow
{
    const char *name;
    QString program;
    QStringList change;
    QString letterOnTheOldKey;
};

void PrintTo(const MapChangeRow &row, std::ostream *out)
{
    *out << row.name;
}

// Restores the test session's keyboard map afterwards.
class KeyboardMapTest : public X11GlobalShortcutsTest
{
protected:
    void TearDown() override
    {
        EXPECT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
        X11GlobalShortcutsTest::TearDown();
    }

    static bool run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
};

class KeyboardMapChanges : public KeyboardMapTest, public ::testing::WithParamInterface<MapChangeRow>
{};

TEST_P(KeyboardMapChanges, TheShortcutFollowsItsKey)
{
    const MapChangeRow &row = GetParam();
    ASSERT_TRUE(declareImprove());
    ASSERT_TRUE(run(row.program, row.change));
    pump(300);

    press(QStringLiteral("ctrl+shift+") + row.letterOnTheOldKey);
    EXPECT_EQ(m_improvePresses, 0) << "the old key code was let go";
    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 1);
}

TEST_F(KeyboardMapTest, AShortcutWhoseKeyLeftTheMapReturnsWithIt)
{
    ASSERT_TRUE(declareImprove());
    ASSERT_TRUE(run(QStringLiteral("xmodmap"), {QStringLiteral("-e"), QStringLiteral("keycode 31 = NoSymbol")}));
    pump(300);
    ASSERT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}));
    pump(300);
    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 1);
}

INSTANTIATE_TEST_SUITE_P(X11, KeyboardMapChanges,
                         ::testing::Values(MapChangeRow{"Xmodmap",
                                                        QStringLiteral("xmodmap"),
                                                        {QStringLiteral("-e"), QStringLiteral("keycode 31 = k K"),
                                                         QStringLiteral("-e"), QStringLiteral("keycode 45 = i I")},
                                                        QStringLiteral("k")},
                                           MapChangeRow{"AnotherLayout",
                                                        QStringLiteral("setxkbmap"),
                                                        {QStringLiteral("us"), QStringLiteral("-variant"),
                                                         QStringLiteral("dvorak")},
                                                        QStringLiteral("c")}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(X11GlobalShortcutsTest, TwoShortcutsFireTheirOwnActions)
{
    ASSERT_TRUE(declareImprove());
    ASSERT_TRUE(m_shortcuts->declare(voiceInput, controlShiftU, [this] { ++m_voicePresses; }));
    press(QStringLiteral("ctrl+shift+u"));
    EXPECT_EQ(m_voicePresses, 1);
    EXPECT_EQ(m_improvePresses, 0);
}

TEST_F(X11GlobalShortcutsTest, CombinationHeldByAnotherProgramIsReportedAndCanBeRegisteredLater)
{
    OtherClient other;
    ASSERT_TRUE(other.grabControlShift(XK_u));

    EXPECT_FALSE(m_shortcuts->declare(voiceInput, controlShiftU, [this] { ++m_voicePresses; }));
    EXPECT_EQ(m_shortcuts->combination(voiceInput), controlShiftU) << "the declaration stays";
    EXPECT_TRUE(declareImprove()) << "a conflict leaves other shortcuts alone";

    other.disconnect();
    pump(100);
    EXPECT_TRUE(m_shortcuts->setCombination(voiceInput, controlShiftU));
    press(QStringLiteral("ctrl+shift+u"));
    EXPECT_EQ(m_voicePresses, 1);
}

TEST_F(X11GlobalShortcutsTest, GrabsAreReleasedForOtherProgramsWhenDestroyed)
{
    ASSERT_TRUE(declareImprove());
    ASSERT_TRUE(m_shortcuts->setCombination(improveText, controlShiftK));
    OtherClient other;
    EXPECT_TRUE(other.grabControlShift(XK_i)) << "the old combination was released when it changed";
    EXPECT_FALSE(other.grabControlShift(XK_k)) << "the new one is held";

    m_shortcuts.reset();
    EXPECT_TRUE(other.grabControlShift(XK_k)) << "destruction released the grab";
}

TEST_F(X11GlobalShortcutsTest, ChangedCombinationMovesTheGrabAndIsKept)
{
    ASSERT_TRUE(declareImprove());
    ASSERT_TRUE(m_shortcuts->setCombination(improveText, controlShiftK));
    EXPECT_EQ(m_shortcuts->combination(improveText), controlShiftK);

    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 0) << "the old combination no longer fires";
    press(QStringLiteral("ctrl+shift+k"));
    EXPECT_EQ(m_improvePresses, 1);

    // The next start declares the same default and gets the user's combination.
    m_shortcuts.reset();
    m_shortcuts = make();
    ASSERT_TRUE(declareImprove());
    EXPECT_EQ(m_shortcuts->combination(improveText), controlShiftK);
    press(QStringLiteral("ctrl+shift+i"));
    press(QStringLiteral("ctrl+shift+k"));
    EXPECT_EQ(m_improvePresses, 2);
}

TEST_F(X11GlobalShortcutsTest, RemovedCombinationFiresNothingAndStaysRemoved)
{
    ASSERT_TRUE(declareImprove());
    ASSERT_TRUE(m_shortcuts->setCombination(improveText, std::nullopt));
    EXPECT_EQ(m_shortcuts->combination(improveText), std::nullopt);
    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 0);

    m_shortcuts.reset();
    m_shortcuts = make();
    EXPECT_TRUE(declareImprove());
    EXPECT_EQ(m_shortcuts->combination(improveText), std::nullopt);
}

struct RefusedRow
{
    const char *name;
    KeyCombination combination;
    bool withConnection;
};

void PrintTo(const RefusedRow &row, std::ostream *out)
{
    *out << row.name;
}

class RefusedCombinations : public X11GlobalShortcutsTest, public ::testing::WithParamInterface<RefusedRow>
{};

TEST_P(RefusedCombinations, AreReportedAndTheDeclarationStays)
{
    const RefusedRow &row = GetParam();
    m_shortcuts = make(row.withConnection ? qtConnection() : nullptr);
    EXPECT_FALSE(m_shortcuts->declare(voiceInput, row.combination, [this] { ++m_voicePresses; }));
    EXPECT_EQ(m_shortcuts->combination(voiceInput), row.combination);
}

INSTANTIATE_TEST_SUITE_P(X11, RefusedCombinations,
                         ::testing::Values(RefusedRow{"KeyWithoutTranslation", {200, 0x120000}, true},
                                           RefusedRow{"NoXConnection", controlShiftU, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(X11GlobalShortcutsTest, SecondNameWithTheSameCombinationIsRefused)
{
    ASSERT_TRUE(declareImprove());
    EXPECT_FALSE(m_shortcuts->declare(voiceInput, controlShiftI, [this] { ++m_voicePresses; }));
    press(QStringLiteral("ctrl+shift+i"));
    EXPECT_EQ(m_improvePresses, 1);
    EXPECT_EQ(m_voicePresses, 0);
}

} // namespace
