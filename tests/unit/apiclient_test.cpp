#include "backend/apiclient.h"
#include "backend/apierror.h"
#include "backend/wire/decodingerror.h"
#include "backend/wire/promptrecords.h"
#include "fakes/fakehttptransport.h"
#include "fakes/fakeidentityclient.h"
#include "runtime/fileerror.h"
#include "runtime/logger.h"
#include "support/taskoutcome.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString origin = QStringLiteral("https://backend.test");
const QByteArray modelsBody = R"({"models":[{"id":"gpt","name":"GPT","category":"chat"}]})";
const QByteArray transcriptBody = R"({"text":"hello","duration_seconds":1.5,"credits_remaining":9})";

enum class Operation
{
    Json,
    Void,
    Upload
};

class APIClientTest : public ::testing::Test
{
protected:
    APIClientTest() { client.setAccessToken(QStringLiteral("token-1")); }

    QCoro::Task<TargetModelsResponse> getModels(bool allowRetry = true)
    {
        return client.request<TargetModelsResponse>(QStringLiteral("/api/v1/prompts/target-models"), HTTPMethod::Get,
                                                    std::nullopt, true, allowRetry);
    }

    QCoro::Task<> perform(Operation operation)
    {
        switch (operation) {
        case Operation::Json:
            return discardResult(getModels());
        case Operation::Void:
            return client.requestVoid(QStringLiteral("/api/v1/skills/s1"), HTTPMethod::Delete);
        case Operation::Upload:
            return discardResult(client.uploadAudio(QStringLiteral("/api/v1/audio/transcribe"), writeRecording("m4a")));
        }
        throw std::logic_error("unknown operation");
    }

    template <typename T>
    static QCoro::Task<> discardResult(QCoro::Task<T> task)
    {
        co_await std::move(task);
    }

    QString writeRecording(const QByteArray &bytes)
    {
        const QString path = directory.filePath(QStringLiteral("voice_recording_1234.m4a"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // After a renewal the session manager writes the new token; the fake identity client does the same.
    void renewalInstalls(const QString &token)
    {
        identity.renewSucceeds([this, token] { client.setAccessToken(token); });
    }

    FakeHttpTransport transport;
    FakeIdentityClient identity;
    APIClient client{origin, transport, identity};
    CapturedLog log;
    QTemporaryDir directory;
};

TEST_F(APIClientTest, WithoutATokenEveryOperationFailsUnauthorizedAndSendsNothing)
{
    client.setAccessToken({});

    EXPECT_EQ(failureOfType<APIError>(getModels())->kind(), APIError::Kind::Unauthorized);
    EXPECT_EQ(
        failureOfType<APIError>(client.requestVoid(QStringLiteral("/api/v1/skills/1"), HTTPMethod::Delete))->kind(),
        APIError::Kind::Unauthorized);
    EXPECT_EQ(
        failureOfType<APIError>(client.uploadAudio(QStringLiteral("/api/v1/audio/transcribe"), writeRecording("audio")))
            ->kind(),
        APIError::Kind::Unauthorized);
    EXPECT_TRUE(transport.requests().isEmpty());
}

TEST_F(APIClientTest, RequestWithoutAuthenticationCarriesNoBearerToken)
{
    client.setAccessToken({});
    transport.reply(200, modelsBody);

    runTask(client.request<TargetModelsResponse>(QStringLiteral("/api/v1/prompts/target-models"), HTTPMethod::Get,
                                                 std::nullopt, false));

    EXPECT_TRUE(transport.requests().at(0).header("Authorization").isEmpty());
}

TEST_F(APIClientTest, BodilessRequestsCarryJsonContentTypeAndBearerToken)
{
    transport.reply(200, modelsBody);
    transport.reply(204);

    runTask(getModels());
    runTask(client.requestVoid(QStringLiteral("/api/v1/favorites/f1"), HTTPMethod::Delete));

    ASSERT_EQ(transport.requests().size(), 2);
    for (const HttpRequest &request : transport.requests()) {
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        EXPECT_EQ(request.header("Authorization"), "Bearer token-1");
        EXPECT_TRUE(request.body.isEmpty());
        EXPECT_EQ(request.timeoutSeconds, 60.0);
    }
    EXPECT_EQ(transport.requests().at(0).method, "GET");
    EXPECT_EQ(transport.requests().at(0).url.toString(), origin + QStringLiteral("/api/v1/prompts/target-models"));
    EXPECT_EQ(transport.requests().at(1).method, "DELETE");
}

TEST_F(APIClientTest, BodyIsCompactJsonWithTheRecordsKeys)
{
    transport.reply(200, R"({"original_text":"a","improved_text":"b","skill_used":"code","skill_name":"Code",)"
                         R"("tokens_used":3,"credits_remaining":7})");
    const PromptRequest body{.text = QStringLiteral("a"), .skillSlug = QStringLiteral("code")};

    const auto response = runTask(
        client.request<PromptResponse>(QStringLiteral("/api/v1/prompts/generate"), HTTPMethod::Post, body.toJson()));

    EXPECT_EQ(response.improvedText, QStringLiteral("b"));
    EXPECT_EQ(transport.requests().at(0).method, "POST");
    EXPECT_EQ(transport.requests().at(0).body,
              R"({"auto_detect":false,"skill_slug":"code","stream":false,"text":"a"})");
}

struct StatusCase
{
    const char *name;
    Operation operation;
    int status;
    QByteArray body;
    std::optional<APIError::Kind> kind; // none: success
    QString message;
};

class APIClientStatusTest : public APIClientTest, public ::testing::WithParamInterface<StatusCase>
{};

TEST_P(APIClientStatusTest, MapsTheStatusOfEachOperation)
{
    const StatusCase &row = GetParam();
    transport.reply(row.status, row.body);
    QCoro::Task<> call = perform(row.operation);

    if (!row.kind) {
        EXPECT_EQ(failureOf(std::move(call)), nullptr);
        return;
    }
    const auto error = failureOfType<APIError>(std::move(call));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), *row.kind);
    EXPECT_EQ(error->description(), row.message);
}

using Kind = APIError::Kind;
const QByteArray detailBody = R"({"detail":"Skill name is required"})";

void PrintTo(const StatusCase &row, std::ostream *out)
{
    *out << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, APIClientStatusTest,
    ::testing::Values(
        StatusCase{"json_200", Operation::Json, 200, modelsBody, std::nullopt, {}},
        StatusCase{"json_201", Operation::Json, 201, modelsBody, std::nullopt, {}},
        StatusCase{"json_402", Operation::Json, 402, detailBody, Kind::InsufficientCredits,
                   QStringLiteral("Insufficient credits. Please upgrade your plan.")},
        StatusCase{"json_404", Operation::Json, 404, detailBody, Kind::NotFound, QStringLiteral("Resource not found")},
        StatusCase{"json_500_detail", Operation::Json, 500, detailBody, Kind::ServerError,
                   QStringLiteral("Skill name is required")},
        StatusCase{"json_500_not_json", Operation::Json, 500, "<html>oops</html>", Kind::ServerError,
                   QStringLiteral("Unknown error: 500")},
        StatusCase{"json_422_detail_list", Operation::Json, 422, R"({"detail":[{"msg":"bad"}]})", Kind::ServerError,
                   QStringLiteral("Unknown error: 422")},
        StatusCase{
            "json_not_http", Operation::Json, 0, {}, Kind::InvalidResponse, QStringLiteral("Invalid server response")},
        StatusCase{"void_204", Operation::Void, 204, {}, std::nullopt, {}},
        StatusCase{"void_404", Operation::Void, 404, detailBody, Kind::ServerError, QStringLiteral("Error: 404")},
        StatusCase{"void_402", Operation::Void, 402, detailBody, Kind::ServerError, QStringLiteral("Error: 402")},
        StatusCase{"void_500", Operation::Void, 500, detailBody, Kind::ServerError, QStringLiteral("Error: 500")},
        StatusCase{"upload_200", Operation::Upload, 200, transcriptBody, std::nullopt, {}},
        StatusCase{"upload_400_detail", Operation::Upload, 400, R"({"detail":"Audio is too short"})", Kind::ServerError,
                   QStringLiteral("Audio is too short")},
        StatusCase{
            "upload_400_empty", Operation::Upload, 400, {}, Kind::ServerError, QStringLiteral("Invalid audio file")},
        StatusCase{"upload_402", Operation::Upload, 402, detailBody, Kind::InsufficientCredits,
                   QStringLiteral("Insufficient credits. Please upgrade your plan.")},
        StatusCase{"upload_404_detail", Operation::Upload, 404, detailBody, Kind::ServerError,
                   QStringLiteral("Skill name is required")},
        StatusCase{"upload_404_not_json", Operation::Upload, 404, "Not Found", Kind::ServerError,
                   QStringLiteral("Transcription failed: 404")},
        StatusCase{
            "upload_503", Operation::Upload, 503, {}, Kind::ServerError, QStringLiteral("Transcription failed: 503")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(APIClientTest, NonRetriedUnauthorizedNeverTouchesTheSession)
{
    transport.reply(401);

    EXPECT_EQ(failureOfType<APIError>(getModels(false))->kind(), APIError::Kind::Unauthorized);

    EXPECT_EQ(identity.renewCount(), 0);
    EXPECT_EQ(identity.signOutCount(), 0);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(APIClientTest, SuccessfulBodyMissingARequiredFieldFailsWithADecodingError)
{
    transport.reply(200, R"({"models":[{"id":"gpt","name":"GPT"}]})");

    const auto error = failureOfType<DecodingError>(getModels());

    ASSERT_TRUE(error);
    EXPECT_EQ(error->fieldPath(), QStringLiteral("models[0].category"));
}

TEST_F(APIClientTest, UnformableUrlFailsAsInvalidResponseWithoutTraffic)
{
    APIClient broken(QStringLiteral("not a url"), transport, identity);
    broken.setAccessToken(QStringLiteral("t"));

    EXPECT_EQ(failureOfType<APIError>(broken.requestVoid(QStringLiteral("/x"), HTTPMethod::Get))->kind(),
              APIError::Kind::InvalidResponse);
    EXPECT_EQ(
        failureOfType<APIError>(client.requestVoid(QStringLiteral("/api/v1/skills/a b"), HTTPMethod::Get))->kind(),
        APIError::Kind::InvalidResponse);
    EXPECT_TRUE(transport.requests().isEmpty());
}

TEST_F(APIClientTest, TransportFailurePassesThrough)
{
    transport.fail(TransportError::Kind::CannotConnect);

    const auto error = failureOfType<TransportError>(getModels());

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), TransportError::Kind::CannotConnect);
}

// --- renewal on 401 ---

TEST_F(APIClientTest, UnauthorizedThenRenewedSessionRepeatsOnceWithTheNewToken)
{
    renewalInstalls(QStringLiteral("token-2"));
    transport.reply(401);
    transport.reply(200, modelsBody);

    const auto response = runTask(getModels());

    EXPECT_EQ(response.models.at(0).id, QStringLiteral("gpt"));
    ASSERT_EQ(transport.requests().size(), 2);
    EXPECT_EQ(transport.requests().at(0).header("Authorization"), "Bearer token-1");
    EXPECT_EQ(transport.requests().at(1).header("Authorization"), "Bearer token-2");
    EXPECT_EQ(identity.renewCount(), 1);
    EXPECT_EQ(identity.signOutCount(), 0);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(APIClientTest, RenewedTokenRefusedAgainAbandonsTheSessionOnce)
{
    renewalInstalls(QStringLiteral("token-2"));
    transport.reply(401);
    transport.reply(401);

    EXPECT_EQ(failureOfType<APIError>(getModels())->kind(), APIError::Kind::Unauthorized);

    EXPECT_EQ(transport.requests().size(), 2);
    EXPECT_EQ(identity.renewCount(), 1);
    EXPECT_EQ(identity.signOutCount(), 1);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[APIClient] Token refresh failed: Please sign in to continue")});
}

TEST_F(APIClientTest, FailedRenewalLogsSignsOutAndReportsUnauthorized)
{
    identity.renewFails(QStringLiteral("Invalid Refresh Token: Already Used"));
    transport.reply(401);

    EXPECT_EQ(failureOfType<APIError>(getModels())->kind(), APIError::Kind::Unauthorized);

    EXPECT_EQ(transport.requests().size(), 1);
    EXPECT_EQ(identity.signOutCount(), 1);
    EXPECT_EQ(log.lines(),
              QStringList{QStringLiteral("[APIClient] Token refresh failed: Invalid Refresh Token: Already Used")});
}

TEST_F(APIClientTest, OtherFailuresOfTheRepeatPassThroughAndKeepTheSession)
{
    renewalInstalls(QStringLiteral("token-2"));
    transport.reply(401);
    transport.reply(402);
    EXPECT_EQ(failureOfType<APIError>(getModels())->kind(), APIError::Kind::InsufficientCredits);

    transport.reply(401);
    transport.reply(500, detailBody);
    EXPECT_EQ(failureOfType<APIError>(getModels())->description(), QStringLiteral("Skill name is required"));

    transport.reply(401);
    transport.fail(TransportError::Kind::TimedOut);
    EXPECT_EQ(failureOfType<TransportError>(getModels())->kind(), TransportError::Kind::TimedOut);

    EXPECT_EQ(identity.renewCount(), 3);
    EXPECT_EQ(identity.signOutCount(), 0);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(APIClientTest, RenewalThatLeavesNoTokenAbandonsTheSession)
{
    renewalInstalls(QString());
    transport.reply(401);

    EXPECT_EQ(failureOfType<APIError>(getModels())->kind(), APIError::Kind::Unauthorized);

    EXPECT_EQ(transport.requests().size(), 1);
    EXPECT_EQ(identity.signOutCount(), 1);
}

// --- multipart upload ---

TEST_F(APIClientTest, UploadSendsTheRecordingAsOneMultipartPart)
{
    const QByteArray audio("\x00\x01m4a\r\n--bytes", 14);
    transport.reply(200, transcriptBody);

    const auto response =
        runTask(client.uploadAudio(QStringLiteral("/api/v1/audio/transcribe"), writeRecording(audio)));

    EXPECT_EQ(response.text, QStringLiteral("hello"));
    const HttpRequest &request = transport.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.timeoutSeconds, 120.0);
    EXPECT_EQ(request.header("Authorization"), "Bearer token-1");
    const QByteArray contentType = request.header("Content-Type");
    ASSERT_TRUE(contentType.startsWith("multipart/form-data; boundary=")) << contentType.constData();
    const QByteArray boundary = contentType.mid(30);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(QString::fromLatin1(boundary))
                    .hasMatch())
        << boundary.constData();
    const QByteArray expected = "--" + boundary + "\r\n" +
                                "Content-Disposition: form-data; name=\"file\"; filename=\"voice_recording_1234.m4a\""
                                "\r\nContent-Type: audio/m4a\r\n\r\n" +
                                audio + "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(request.body, expected);
}

TEST_F(APIClientTest, RepeatedUploadReadsTheFileAgainWithAFreshBoundary)
{
    renewalInstalls(QStringLiteral("token-2"));
    transport.reply(401);
    transport.reply(200, transcriptBody);

    runTask(client.uploadAudio(QStringLiteral("/api/v1/audio/transcribe"), writeRecording("abc")));

    ASSERT_EQ(transport.requests().size(), 2);
    EXPECT_NE(transport.requests().at(0).header("Content-Type"), transport.requests().at(1).header("Content-Type"));
    EXPECT_TRUE(transport.requests().at(1).body.contains("\r\n\r\nabc\r\n"));
}

TEST_F(APIClientTest, UnreadableRecordingFailsWithAFileErrorBeforeSending)
{
    const auto error = failureOfType<FileError>(
        client.uploadAudio(QStringLiteral("/api/v1/audio/transcribe"), directory.filePath(QStringLiteral("gone.m4a"))));

    ASSERT_TRUE(error);
    EXPECT_TRUE(error->description().contains(QStringLiteral("gone.m4a")));
    EXPECT_TRUE(transport.requests().isEmpty());
}

} // namespace
