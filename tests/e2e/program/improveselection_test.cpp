#include "support/qtprinters.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

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

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    // The event loop keeps running meanwhile: xdotool and xclip talk to windows of this process.
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000);
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The ids of the top-level windows whose title is exactly `title`.
QStringList windowsNamed(const QString &title)
{
    QByteArray ids;
    run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')}, &ids);
    return QString::fromLatin1(ids).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString windowProperties(const QString &id)
{
    QByteArray properties;
    run(QStringLiteral("xprop"), {QStringLiteral("-id"), id}, &properties);
    return QString::fromUtf8(properties);
}

// The status panel's state as it looks on the screen: its tint is blue while processing, green on success and red
// on error. Reads the middle of the panel's left edge (left of the icon, below no text).
enum class Tint
{
    None,
    Blue,
    Green,
    Red
};

// Where the program puts its status panel: 300 x 60, centred, 20 below the top of the screen's available area.
QRect panelFrame()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    return {area.x() + (area.width() - 300) / 2, area.y() + 20, 300, 60};
}

Tint tintOf(const QImage &panel)
{
    const QColor colour = panel.pixelColor(8, panel.height() / 2);
    const int red = colour.red();
    const int green = colour.green();
    const int blue = colour.blue();
    const int margin = 60;
    if (blue > red + margin && blue > green) {
        return Tint::Blue;
    }
    if (green > red + margin && green > blue + margin) {
        return Tint::Green;
    }
    if (red > green + margin && red > blue + margin) {
        return Tint::Red;
    }
    return Tint::None;
}

QImage grabPanel()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(panelFrame());
}

// Waits until the panel shows `tint` and saves that picture of it as a test artifact.
bool panelShows(Tint tint, const QString &artifactName, int milliseconds = 15000)
{
    QImage panel;
    const bool shown = waitUntil(
        [&] {
            panel = grabPanel();
            return tintOf(panel) == tint;
        },
        milliseconds);
    if (shown) {
        // Half a second later the fade-in is over for sure; keep that picture unless the panel has gone meanwhile.
        pump(500);
        const QImage settled = grabPanel();
        if (tintOf(settled) == tint) {
            panel = settled;
        }
        QDir().mkpath(QStringLiteral(E2E_ARTIFACTS_DIR));
        panel.save(QStringLiteral(E2E_ARTIFACTS_DIR) + QLatin1Char('/') + artifactName + QStringLiteral(".png"));
    }
    return shown;
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
    bool isRunning() const { return m_process.state() == QProcess::Running; }
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
        QStringList arguments{
            QStringLiteral("--port"),      QString::fromLatin1(E2E_ORIGIN).section(QLatin1Char(':'), -1),
            QStringLiteral("--db"),        QStringLiteral(":memory:"),
            QStringLiteral("--seed-user"), email + QLatin1Char(':') + password};
        arguments += extraServerArguments();
        server = std::make_unique<Child>(QStringLiteral(WORDLOOM_SERVER_PATH), arguments);
        ASSERT_TRUE(server->waitForOutput("listening on")) << server->output().constData();
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

    virtual QStringList extraServerArguments() const { return {}; }

    std::unique_ptr<Child> server;
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

TEST_F(ImproveSelection, ShortcutGivesBackAnEarlierImageWithItsText)
{
    signIn();
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    auto *earlier = new QMimeData;
    earlier->setText(QStringLiteral("caption of the picture"));
    earlier->setImageData(picture);
    QGuiApplication::clipboard()->setMimeData(earlier);
    auto program = startProgram();

    selectAllAndImprove();

    ASSERT_TRUE(waitUntil([&] { return target.toPlainText() != draft && !target.toPlainText().isEmpty(); }, 20000))
        << program->output().constData();
    EXPECT_TRUE(panelShows(Tint::Green, QStringLiteral("overlay-success"))) << "the status panel did not show success";
    // The restored clipboard belongs to the program: its image is read from there.
    EXPECT_TRUE(waitUntil(
        [] {
            const QMimeData *now = QGuiApplication::clipboard()->mimeData();
            return now != nullptr && now->text() == QStringLiteral("caption of the picture") && now->hasImage() &&
                   qvariant_cast<QImage>(now->imageData()).size() == QSize(64, 48);
        },
        10000))
        << QGuiApplication::clipboard()->mimeData()->formats().join(QLatin1Char(' ')).toStdString();
}

TEST_F(ImproveSelection, SignedOutShortcutShowsTheAuthenticationAlertAndCopiesNothing)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("mine, not to be touched"));
    auto program = startProgram();
    ASSERT_TRUE(windowsNamed(QStringLiteral("Lumora Prompt")).isEmpty());

    selectAllAndImprove();

    // The alert is a modal dialog titled with the program's name; the status panel is never a dialog.
    QString alert;
    QString alertId;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const QString &id : windowsNamed(QStringLiteral("Lumora Prompt"))) {
                const QString properties = windowProperties(id);
                if (properties.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG")) &&
                    properties.contains(QStringLiteral("_NET_WM_STATE_MODAL"))) {
                    alert = properties;
                    alertId = id;
                    return true;
                }
            }
            return false;
        },
        10000))
        << program->output().constData();
    EXPECT_TRUE(alert.contains(QStringLiteral("WM_NAME(UTF8_STRING) = \"Lumora Prompt\""))) << alert.toStdString();
    pump(1000);
    // Its texts live in the QML scene, out of reach of X clients: a picture of it shows them.
    QByteArray geometry;
    ASSERT_TRUE(run(QStringLiteral("xdotool"),
                    {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), alertId}, &geometry));
    QHash<QString, int> values;
    for (const QString &line : QString::fromLatin1(geometry).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
    }
    const QRect frame(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                      values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
    EXPECT_GT(frame.width(), 100) << geometry.constData();
    EXPECT_GT(frame.height(), 50) << geometry.constData();
    QDir().mkpath(QStringLiteral(E2E_ARTIFACTS_DIR));
    QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(frame).save(QStringLiteral(E2E_ARTIFACTS_DIR) +
                                                                               QStringLiteral("/alert-signed-out.png"));
    EXPECT_EQ(target.toPlainText(), draft);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("mine, not to be touched"));
    EXPECT_TRUE(QGuiApplication::clipboard()->ownsClipboard()) << "another client took the clipboard";
    EXPECT_FALSE(program->output().contains("Accessibility failed"));
}

TEST_F(ImproveSelection, ServerGoneAfterSignInLeavesTheTextAndReportsTheFailure)
{
    signIn();
    auto program = startProgram();
    ASSERT_TRUE(program->output().contains("Auth event: initialSession"));
    server.reset();

    selectAllAndImprove();

    EXPECT_TRUE(program->waitForOutput("Improve text hotkey triggered!")) << program->output().constData();
    EXPECT_TRUE(panelShows(Tint::Red, QStringLiteral("overlay-error-server-gone"), 30000))
        << "the status panel did not show an error\n"
        << program->output().constData();
    pump(1000);
    EXPECT_EQ(target.toPlainText(), draft);
    EXPECT_TRUE(program->isRunning()) << program->output().constData();
}

class ImproveSelectionWithoutCredits : public ImproveSelection
{
protected:
    QStringList extraServerArguments() const override
    {
        return {QStringLiteral("--initial-credits"), QStringLiteral("0")};
    }
};

TEST_F(ImproveSelectionWithoutCredits, ShortcutLeavesTheTextAndReportsMissingCredits)
{
    signIn();
    auto program = startProgram();

    selectAllAndImprove();

    EXPECT_TRUE(panelShows(Tint::Red, QStringLiteral("overlay-error-no-credits"), 20000))
        << "the status panel did not show an error\n"
        << program->output().constData();
    EXPECT_TRUE(server->waitForOutput(" 402")) << server->output().constData();
    pump(1000);
    EXPECT_EQ(target.toPlainText(), draft);
    EXPECT_TRUE(program->isRunning()) << program->output().constData();
}

TEST_F(ImproveSelection, TargetWithoutPrimaryIsReadThroughTheCopyFallback)
{
    signIn();
    QGuiApplication::clipboard()->setText(QStringLiteral("copied before the fallback"));
    auto program = startProgram();
    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    const QString picture = files.filePath(QStringLiteral("picture.png"));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    ASSERT_TRUE(image.save(picture));

    target.activateWindow();
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+a")}));
    // Another client takes PRIMARY and offers only an image: the target keeps its selection but no longer owns it.
    Child imageOwner(QStringLiteral("xclip"),
                     {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("primary"),
                      QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-i"), picture});
    ASSERT_TRUE(waitUntil([] { return !QGuiApplication::clipboard()->ownsSelection(); }, 10000));
    ASSERT_TRUE(target.textCursor().hasSelection());
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+shift+i")}));

    ASSERT_TRUE(waitUntil([&] { return target.toPlainText() != draft && !target.toPlainText().isEmpty(); }, 20000))
        << program->output().constData();
    EXPECT_TRUE(target.toPlainText().contains(QStringLiteral("sea"), Qt::CaseInsensitive))
        << target.toPlainText().toStdString();
    EXPECT_TRUE(program->output().contains("Accessibility failed, trying clipboard method..."))
        << program->output().constData();
    EXPECT_TRUE(waitUntil(
        [] { return QGuiApplication::clipboard()->text() == QStringLiteral("copied before the fallback"); }, 10000))
        << QGuiApplication::clipboard()->text().toStdString();
}

// A language model service that answers a fixed improvement a few seconds after each request, so that the
// program's processing state stays on the screen long enough to be seen.
class SlowLanguageModel : public QObject
{
public:
    SlowLanguageModel()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    static QString answer() { return QStringLiteral("Write a short poem about the sea at dawn."); }

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        const qsizetype headerEnd = request.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            return;
        }
        qsizetype length = 0;
        for (const QByteArray &line : request.left(headerEnd).split('\n')) {
            if (line.toLower().startsWith("content-length:")) {
                length = line.mid(int(sizeof "content-length:") - 1).trimmed().toLongLong();
            }
        }
        if (request.size() < headerEnd + 4 + length) {
            return;
        }
        m_requests.remove(socket);
        const QByteArray body =
            R"({"choices":[{"message":{"role":"assistant","content":")" + answer().toUtf8() + R"("}}]})";
        QTimer::singleShot(3000, socket, [socket, body] {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                          "Content-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

class ImproveSelectionWithSlowModel : public ImproveSelection
{
protected:
    QStringList extraServerArguments() const override
    {
        return {QStringLiteral("--llm-url"),
                QStringLiteral("http://127.0.0.1:%1/v1/chat/completions").arg(model.port())};
    }

    SlowLanguageModel model;
};

TEST_F(ImproveSelectionWithSlowModel, PanelShowsProcessingUntilTheAnswerReplacesTheText)
{
    ASSERT_NE(model.port(), 0);
    signIn();
    auto program = startProgram();

    selectAllAndImprove();

    EXPECT_TRUE(panelShows(Tint::Blue, QStringLiteral("overlay-processing"), 20000))
        << "the status panel did not show the processing state\n"
        << program->output().constData();
    EXPECT_EQ(target.toPlainText(), draft) << "replaced before the answer came";
    ASSERT_TRUE(waitUntil([&] { return target.toPlainText() == SlowLanguageModel::answer(); }, 30000))
        << target.toPlainText().toStdString() << "\n"
        << program->output().constData() << server->output().constData();
    EXPECT_TRUE(panelShows(Tint::Green, QStringLiteral("overlay-success-after-processing")));
}

} // namespace
