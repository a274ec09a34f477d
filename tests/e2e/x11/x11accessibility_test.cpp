// X11Accessibility against the test session's X server: PRIMARY owned by a line edit of this process, by another
// client (xclip), or by a scripted owner on a connection of its own.
#include "e2e/x11/x11testsupport.h"
#include "platform/linux/x11/x11accessibility.h"
#include "platform/linux/x11/x11atoms.h"
#include "support/runtask.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

using Outcome = SelectionRead::Outcome;

xcb_window_t primaryOwner()
{
    xcb_connection_t *connection = qtConnection();
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, XCB_ATOM_PRIMARY), nullptr);
    const xcb_window_t owner = reply ? reply->owner : XCB_NONE;
    std::free(reply);
    return owner;
}

void clearPrimary()
{
    xcb_connection_t *connection = qtConnection();
    xcb_set_selection_owner(connection, XCB_NONE, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
    xcb_flush(connection);
    ASSERT_TRUE(waitUntil([] { return primaryOwner() == XCB_NONE; }));
}

// Owns PRIMARY from a connection of its own and answers requests as scripted.
class ScriptedOwner
{
public:
    enum class Behaviour
    {
        AnswerUtf8,       // answers UTF8_STRING with `text`
        AnswerLatin1Only, // refuses the UTF-8 targets, answers STRING with `text` in Latin-1
        AnswerWrongType,  // answers with 32-bit integers
        Refuse,           // refuses every target
        Silent,           // never answers
    };

    ScriptedOwner(Behaviour behaviour, QString text)
        : m_behaviour(behaviour)
        , m_text(std::move(text))
        , m_connection(xcb_connect(nullptr, nullptr))
        , m_window(xcb_generate_id(m_connection))
    {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        m_utf8 = internAtom(m_connection, "UTF8_STRING");
        xcb_set_selection_owner(m_connection, m_window, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { serve(); });
        m_poll.start(5);
    }
    ~ScriptedOwner() { xcb_disconnect(m_connection); }

    xcb_window_t window() const { return m_window; }

private:
    void serve()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & ~0x80) == XCB_SELECTION_REQUEST) {
                answer(*reinterpret_cast<xcb_selection_request_event_t *>(event));
            }
            std::free(event);
        }
    }

    void answer(const xcb_selection_request_event_t &request)
    {
        if (m_behaviour == Behaviour::Silent) {
            return;
        }
        xcb_atom_t property = request.property;
        if (m_behaviour == Behaviour::AnswerUtf8 && request.target == m_utf8) {
            const QByteArray bytes = m_text.toUtf8();
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, m_utf8, 8,
                                bytes.size(), bytes.constData());
        } else if (m_behaviour == Behaviour::AnswerLatin1Only && request.target == XCB_ATOM_STRING) {
            const QByteArray bytes = m_text.toLatin1();
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_STRING, 8,
                                bytes.size(), bytes.constData());
        } else if (m_behaviour == Behaviour::AnswerWrongType) {
            const quint32 numbers[] = {1, 2, 3};
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_INTEGER, 32,
                                3, numbers);
        } else {
            property = XCB_NONE;
        }
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = property;
        xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char *>(&notify));
        xcb_flush(m_connection);
    }

    Behaviour m_behaviour;
    QString m_text;
    xcb_connection_t *m_connection;
    xcb_window_t m_window;
    xcb_atom_t m_utf8 = XCB_ATOM_NONE;
    QTimer m_poll;
};

class X11AccessibilityTest : public ::testing::Test
{
protected:
    void SetUp() override { clearPrimary(); }

    SelectionRead read() { return runTask(m_accessibility.readSelectedText()); }

    X11Accessibility m_accessibility{qtConnection()};
};

TEST_F(X11AccessibilityTest, TrustedOnAnXServerWithXTest)
{
    EXPECT_TRUE(m_accessibility.isProcessTrusted());
    EXPECT_TRUE(m_accessibility.isProcessTrustedWithPrompt());
    EXPECT_EQ(m_accessibility.unsupportedReason(), QString());
}

class SelectedTextInALineEdit : public X11AccessibilityTest, public ::testing::WithParamInterface<const char *>
{};

TEST_P(SelectedTextInALineEdit, IsReadFromPrimary)
{
    const QString text = QString::fromUtf8(GetParam());
    TargetLineEdit target(text);
    ASSERT_TRUE(target.showFocused());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));
    ASSERT_TRUE(waitUntil([] { return primaryOwner() != XCB_NONE; }));

    const SelectionRead selection = read();
    EXPECT_EQ(selection.outcome, Outcome::Text);
    EXPECT_EQ(selection.text, text);
    resetKeyboard();
}

INSTANTIATE_TEST_SUITE_P(X11, SelectedTextInALineEdit,
                         ::testing::Values("teh quick brown fox", "naïve café – 日本語 🙂", "two\tcolumns"));

// Another client owns PRIMARY; 6 MB are more than one request can carry, so that answer arrives in increments.
class SelectionOfAnotherClient : public X11AccessibilityTest, public ::testing::WithParamInterface<int>
{};

TEST_P(SelectionOfAnotherClient, IsReadWhole)
{
    QString text;
    while (text.size() < GetParam()) {
        text += QStringLiteral("Grüße aus der Zwischenablage %1. ").arg(text.size());
    }
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-quiet")});
    ASSERT_TRUE(xclip.waitForStarted());
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    ASSERT_TRUE(waitUntil([] { return primaryOwner() != XCB_NONE; }, 5000));

    const SelectionRead selection = read();
    EXPECT_EQ(selection.outcome, Outcome::Text);
    EXPECT_EQ(selection.text.size(), text.size());
    EXPECT_TRUE(selection.text == text);
    xclip.kill();
    xclip.waitForFinished();
}

INSTANTIATE_TEST_SUITE_P(X11, SelectionOfAnotherClient, ::testing::Values(40, 6'000'000));

TEST_F(X11AccessibilityTest, NoOwnerMeansNoFocusedElement)
{
    const SelectionRead selection = read();
    EXPECT_EQ(selection.outcome, Outcome::NoFocusedElement);
    EXPECT_EQ(selection.errorValue, QStringLiteral("no selection owner"));
}

struct OwnerRow
{
    const char *name;
    ScriptedOwner::Behaviour behaviour;
    const char *ownerText;
    Outcome outcome;
    const char *text;
    const char *errorValue;
};

void PrintTo(const OwnerRow &row, std::ostream *out)
{
    *out << row.name;
}

class ScriptedOwners : public X11AccessibilityTest, public ::testing::WithParamInterface<OwnerRow>
{};

TEST_P(ScriptedOwners, AnswerGivesOutcome)
{
    const OwnerRow &row = GetParam();
    ScriptedOwner owner(row.behaviour, QString::fromUtf8(row.ownerText));
    ASSERT_TRUE(waitUntil([&owner] { return primaryOwner() == owner.window(); }));

    const SelectionRead selection = read();
    EXPECT_EQ(selection.outcome, row.outcome);
    EXPECT_EQ(selection.text, QString::fromUtf8(row.text));
    EXPECT_EQ(selection.errorValue, QString::fromUtf8(row.errorValue));
}

INSTANTIATE_TEST_SUITE_P(X11, ScriptedOwners,
                         ::testing::Values(OwnerRow{"EmptyText", ScriptedOwner::Behaviour::AnswerUtf8, "",
                                                    Outcome::Text, "", ""},
                                           OwnerRow{"Latin1OnlyOwner", ScriptedOwner::Behaviour::AnswerLatin1Only,
                                                    "café", Outcome::Text, "café", ""},
                                           OwnerRow{"RefusesEveryTarget", ScriptedOwner::Behaviour::Refuse, "",
                                                    Outcome::NoSelectedText, "", "conversion refused"},
                                           OwnerRow{"AnswersWithNumbers", ScriptedOwner::Behaviour::AnswerWrongType, "",
                                                    Outcome::NoSelectedText, "", "no text"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(X11AccessibilityTest, SilentOwnerTimesOutWhileTheMainLoopRuns)
{
    ScriptedOwner owner(ScriptedOwner::Behaviour::Silent, {});
    ASSERT_TRUE(waitUntil([&owner] { return primaryOwner() == owner.window(); }));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);

    QElapsedTimer clock;
    clock.start();
    const SelectionRead selection = read();
    EXPECT_LT(clock.elapsed(), 5000) << "the wait is bounded";
    EXPECT_EQ(selection.outcome, Outcome::NoSelectedText);
    EXPECT_EQ(selection.errorValue, QStringLiteral("timed out"));
    EXPECT_GE(ticks, 5) << "the main loop kept running during the wait";
}

TEST(X11AccessibilityWithoutDisplay, IsUntrustedAndReadsNothing)
{
    X11Accessibility accessibility(nullptr);
    EXPECT_FALSE(accessibility.isProcessTrusted());
    EXPECT_FALSE(accessibility.isProcessTrustedWithPrompt());
    const SelectionRead selection = runTask(accessibility.readSelectedText());
    EXPECT_EQ(selection.outcome, Outcome::NoFocusedElement);
    EXPECT_EQ(selection.errorValue, QStringLiteral("no X11 display"));
}

struct ReasonRow
{
    const char *name;
    const char *display;
    const char *waylandDisplay;
    const char *sessionType;
    bool connected;
    bool xtest;
    const char *reasonMentions; // empty: no reason
};

void PrintTo(const ReasonRow &row, std::ostream *out)
{
    *out << row.name;
}

class UnsupportedReason : public ::testing::TestWithParam<ReasonRow>
{};

TEST_P(UnsupportedReason, DescribesTheSession)
{
    const ReasonRow &row = GetParam();
    QProcessEnvironment environment;
    const std::pair<const char *, const char *> variables[] = {
        {"DISPLAY", row.display}, {"WAYLAND_DISPLAY", row.waylandDisplay}, {"XDG_SESSION_TYPE", row.sessionType}};
    for (const auto &[name, value] : variables) {
        if (*value) {
            environment.insert(QString::fromLatin1(name), QString::fromLatin1(value));
        }
    }
    const QString reason = X11Accessibility::unsupportedReasonFor(environment, row.connected, row.xtest);
    if (!*row.reasonMentions) {
        EXPECT_EQ(reason, QString());
    } else {
        EXPECT_TRUE(reason.contains(QString::fromLatin1(row.reasonMentions))) << reason.toStdString();
        EXPECT_TRUE(reason.endsWith(QLatin1Char('.')));
    }
}

INSTANTIATE_TEST_SUITE_P(
    X11, UnsupportedReason,
    ::testing::Values(ReasonRow{"X11Session", ":0", "", "x11", true, true, ""},
                      ReasonRow{"XWaylandWithXcbPlatform", ":0", "wayland-0", "wayland", true, true, ""},
                      ReasonRow{"WaylandWithoutX11", "", "wayland-0", "wayland", false, false, "Wayland"},
                      ReasonRow{"WaylandSessionTypeOnly", "", "", "wayland", false, false, "Wayland"},
                      ReasonRow{"StartedAsWaylandClient", ":0", "wayland-0", "", false, false, "Wayland client"},
                      ReasonRow{"NoDisplayAtAll", "", "", "", false, false, "No X11 display"},
                      ReasonRow{"ServerWithoutXTest", ":0", "", "x11", true, false, "XTEST"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
