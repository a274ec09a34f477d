#include "support/qtprinters.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QMimeData>
#include <QProcess>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

const QString email = QStringLiteral("demo@example.com");
const QString password = QStringLiteral("demo-password");
const QString draft = QStringLiteral("write me a poem about the sea");

// Spins the event loop (so the target window answers selection requests) until `condition` holds.
bool waitUntil(const std::function<bool()> &condition, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return condition();
}

void pump(int milliseconds)
{
    waitUntil([] { return false; }, milliseconds);
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    // The event loop keeps running meanwhile: xdotool and xclip talk to windows of this process.
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A child process whose output is collected while it runs.
class Child
{
public:
    Child(const QString &program, const QStringList &arguments)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyRead, [this] { m_output += m_process.readAll(); });
        m_process.start(program, arguments);
    }
    ~Child()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool waitForOutput(const QByteArray &text, int milliseconds = 15000)
    {
        return waitUntil([&] { return m_output.contains(text); }, milliseconds);
    }
    const QByteArray &output() const { return m_output; }

private:
    QProcess m_process;
    QByteArray m_output;
};

class ImproveSelection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.waitForOutput("listening on")) << server.output().constData();
        target.setPlainText(draft);
        target.show();
        target.activateWindow();
        ASSERT_TRUE(waitUntil([&] { return target.hasFocus(); }, 5000));
    }

    void signIn()
    {
        ASSERT_TRUE(run(QStringLiteral(SIGN_IN_LOCAL_PATH), {QStringLiteral(E2E_ORIGIN), email, password}));
    }

    // Starts the program and waits until it has restored (or not found) the stored session.
    std::unique_ptr<Child> startProgram()
    {
        auto program = std::make_unique<Child>(QStringLiteral(LUMORA_PROMPT_PATH), QStringList{});
        EXPECT_TRUE(program->waitForOutput("Auth event: initialSession")) << program->output().constData();
        pump(1500);
        return program;
    }

    // Selects everything in the target with the keyboard (which also makes it the PRIMARY selection) and presses
    // the shortcut.
    void selectAllAndImprove()
    {
        target.activateWindow();
        ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+a")}));
        pump(300);
        ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+shift+i")}));
    }

    Child server{QStringLiteral(WORDLOOM_SERVER_PATH),
                 {QStringLiteral("--port"), QString::fromLatin1(E2E_ORIGIN).section(QLatin1Char(':'), -1),
                  QStringLiteral("--db"), QStringLiteral(":memory:"), QStringLiteral("--seed-user"),
                  email + QLatin1Char(':') + password}};
    QTextEdit target;
};

TEST_F(ImproveSelection, ShortcutReplacesTheSelectionAndGivesTheClipboardBack)
{
    signIn();
    auto *earlier = new QMimeData;
    earlier->setText(QStringLiteral("what I copied before"));
    earlier->setHtml(QStringLiteral("<b>what I copied before</b>"));
    QGuiApplication::clipboard()->setMimeData(earlier);
    auto program = startProgram();

    selectAllAndImprove();

    ASSERT_TRUE(waitUntil([&] { return target.toPlainText() != draft && !target.toPlainText().isEmpty(); }, 20000))
        << program->output().constData();
    EXPECT_TRUE(target.toPlainText().contains(QStringLiteral("sea"), Qt::CaseInsensitive))
        << target.toPlainText().toStdString();
    EXPECT_TRUE(program->waitForOutput("Improve text hotkey triggered!"));
    EXPECT_TRUE(waitUntil(
        [] {
            const QMimeData *now = QGuiApplication::clipboard()->mimeData();
            return now && now->text() == QStringLiteral("what I copied before") && now->hasHtml();
        },
        5000));
    EXPECT_FALSE(program->output().contains("access_token")) << "tokens must never reach the log";
}

TEST_F(ImproveSelection, SignedOutShortcutAsksToSignInAndLeavesTheTextAlone)
{
    auto program = startProgram();

    selectAllAndImprove();

    EXPECT_TRUE(program->waitForOutput("Improve text hotkey triggered!")) << program->output().constData();
    pump(1500);
    EXPECT_EQ(target.toPlainText(), draft);
    EXPECT_FALSE(program->output().contains("Accessibility failed"));
}

} // namespace
