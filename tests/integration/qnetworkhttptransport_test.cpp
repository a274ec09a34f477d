#include "backend/apiclient.h"
#include "backend/appstate.h"
#include "backend/promptservice.h"
#include "fakes/fakeidentityclient.h"
#include "platform/qtnetwork/qnetworkhttptransport.h"
#include "platform/transporterror.h"
#include "runtime/manualscheduler.h"
#include "support/taskoutcome.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

namespace {

// A real HTTP server on a random loopback port, served from its own thread for the life of the test.
class LoopbackServer
{
public:
    LoopbackServer() { m_port = m_server.bind_to_any_port("127.0.0.1"); }
    ~LoopbackServer() { stop(); }

    httplib::Server &routes() { return m_server; }
    void start()
    {
        // The socket already listens, so requests made before the thread accepts simply queue.
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    void stop()
    {
        m_server.stop();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    QString origin() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
};

class QNetworkHttpTransportTest : public ::testing::Test
{
protected:
    // The transport (and its pooled keep-alive connections) goes before the server, or stopping the server waits
    // for the idle connection to time out.
    LoopbackServer server;
    std::unique_ptr<QNetworkHttpTransport> transport = std::make_unique<QNetworkHttpTransport>();
    FakeIdentityClient identity;
    ManualScheduler scheduler;
    AppState state{scheduler};

    void TearDown() override { transport.reset(); }
};

TEST_F(QNetworkHttpTransportTest, JsonRoundTripThroughTheBackendClient)
{
    std::string seenAuthorization;
    std::string seenContentType;
    std::string seenBody;
    server.routes().Post("/api/v1/prompts/generate", [&](const httplib::Request &request, httplib::Response &response) {
        seenAuthorization = request.get_header_value("Authorization");
        seenContentType = request.get_header_value("Content-Type");
        seenBody = request.body;
        response.set_content(R"({"original_text":"hi","improved_text":"Hello there","skill_used":"text",
                                 "skill_name":"Text","tokens_used":4,"credits_remaining":99})",
                             "application/json");
    });
    server.start();
    APIClient client(server.origin(), *transport, identity);
    client.setAccessToken(QStringLiteral("live-token"));
    PromptService prompts(client, state);

    const PromptResponse response = runTask(prompts.generatePrompt(QStringLiteral("hi"), std::nullopt, std::nullopt));

    EXPECT_EQ(response.improvedText, QStringLiteral("Hello there"));
    EXPECT_EQ(seenAuthorization, "Bearer live-token");
    EXPECT_EQ(seenContentType, "application/json");
    EXPECT_EQ(seenBody, R"({"auto_detect":true,"stream":false,"text":"hi"})");
}

TEST_F(QNetworkHttpTransportTest, ErrorStatusesArriveAsHttpAnswers)
{
    server.routes().Get("/missing", [](const httplib::Request &, httplib::Response &response) {
        response.status = 404;
        response.set_content(R"({"detail":"Skill not found"})", "application/json");
    });
    server.start();

    const HttpResponse response = runTask(
        transport->send(HttpRequest{.url = QUrl(server.origin() + QStringLiteral("/missing")), .method = "GET"}));

    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.body, R"({"detail":"Skill not found"})");
}

TEST_F(QNetworkHttpTransportTest, UploadArrivesAsAMultipartFileField)
{
    std::string fileName;
    std::string fileBytes;
    std::string contentType;
    server.routes().Post("/api/v1/audio/transcribe", [&](const httplib::Request &request, httplib::Response &response) {
        const auto file = request.get_file_value("file");
        fileName = file.filename;
        fileBytes = file.content;
        contentType = file.content_type;
        response.set_content(R"({"text":"open the door","duration_seconds":2.5,"credits_remaining":7})",
                             "application/json");
    });
    server.start();
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("voice_recording_ABC.m4a"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray audio(70000, '\x7f');
    file.write(audio);
    file.close();
    APIClient client(server.origin(), *transport, identity);
    client.setAccessToken(QStringLiteral("t"));

    const TranscriptionResponse response =
        runTask(client.uploadAudio(QStringLiteral("/api/v1/audio/transcribe"), path));

    EXPECT_EQ(response.text, QStringLiteral("open the door"));
    EXPECT_EQ(fileName, "voice_recording_ABC.m4a");
    EXPECT_EQ(contentType, "audio/m4a");
    EXPECT_EQ(fileBytes, audio.toStdString());
}

TEST_F(QNetworkHttpTransportTest, SilentServerFailsWithATimeoutOnceTheIdleLimitPasses)
{
    // Bound and listening, never served: connections are accepted and then nothing is ever answered.
    transport = std::make_unique<QNetworkHttpTransport>(HttpTransportLimits{.idleTimeoutSeconds = 0.3});

    const auto error = failureOfType<TransportError>(
        transport->send(HttpRequest{.url = QUrl(server.origin() + QStringLiteral("/")), .method = "GET"}));

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), TransportError::Kind::TimedOut);
}

TEST_F(QNetworkHttpTransportTest, RequestDeadlineEndsATrickleThatKeepsTheIdleTimerAlive)
{
    server.routes().Get("/slow", [](const httplib::Request &, httplib::Response &response) {
        response.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink &sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return sink.write(".", 1);
        });
    });
    server.start();

    const auto error = failureOfType<TransportError>(transport->send(
        HttpRequest{.url = QUrl(server.origin() + QStringLiteral("/slow")), .method = "GET", .timeoutSeconds = 0.5}));

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), TransportError::Kind::TimedOut);
}

TEST_F(QNetworkHttpTransportTest, RefusedConnectionPassesThroughTheClient)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    APIClient client(QStringLiteral("http://127.0.0.1:%1").arg(closedPort), *transport, identity);
    client.setAccessToken(QStringLiteral("t"));

    const auto error =
        failureOfType<TransportError>(client.requestVoid(QStringLiteral("/api/v1/skills/s"), HTTPMethod::Delete));

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), TransportError::Kind::CannotConnect);
    EXPECT_EQ(error->description(), QStringLiteral("Could not connect to the server."));
}

} // namespace
