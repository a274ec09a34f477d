#include "backend/apiclient.h"
#include "backend/apierror.h"
#include "backend/appstate.h"
#include "backend/historyservice.h"
#include "backend/promptservice.h"
#include "fakes/fakehttptransport.h"
#include "fakes/fakeidentityclient.h"
#include "runtime/manualscheduler.h"
#include "support/taskoutcome.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray skillBody = R"({"id":"s1","name":"Mine","slug":"mine","description":"d","category":"text",
    "is_active":true,"content":"c","author":"me","version":"1","created_at":"t","updated_at":"t"})";
const QByteArray deletedBody = R"({"deleted_count":1,"message":"Deleted"})";
const QByteArray promptBody = R"({"original_text":"a","improved_text":"b","skill_used":"text","skill_name":"Text",
    "tokens_used":3,"credits_remaining":41})";

class BackendOperationsTest : public ::testing::Test
{
protected:
    BackendOperationsTest() { client.setAccessToken(QStringLiteral("t")); }

    QJsonObject bodyOf(qsizetype index) const
    {
        return QJsonDocument::fromJson(transport.requests().at(index).body).object();
    }
    QByteArray methodOf(qsizetype index) const { return transport.requests().at(index).method; }

    ManualScheduler scheduler;
    AppState state{scheduler};
    FakeHttpTransport transport;
    FakeIdentityClient identity;
    APIClient client{QStringLiteral("http://127.0.0.1:8765"), transport, identity};
    PromptService prompts{client, state};
    HistoryService history{client};
};

TEST_F(BackendOperationsTest, EachOperationUsesItsMethodAndPath)
{
    struct Row
    {
        std::function<QCoro::Task<>()> call;
        QByteArray method;
        QByteArray path;
        QByteArray answer;
    };
    const auto run = [](auto task) -> QCoro::Task<> { co_await std::move(task); };
    const QList<Row> rows = {
        {[&] { return run(prompts.fetchSkills()); }, "GET", "/api/v1/skills",
         R"({"skills":[],"total":0,"system_count":0,"user_count":0})"},
        {[&] { return run(prompts.fetchTargetModels()); }, "GET", "/api/v1/prompts/target-models", R"({"models":[]})"},
        {[&] { return run(prompts.getSkill(QStringLiteral("s1"))); }, "GET", "/api/v1/skills/s1", skillBody},
        {[&] { return run(prompts.createSkill({})); }, "POST", "/api/v1/skills", skillBody},
        {[&] { return run(prompts.updateSkill(QStringLiteral("s1"), {})); }, "PUT", "/api/v1/skills/s1", skillBody},
        {[&] { return prompts.deleteSkill(QStringLiteral("s1")); }, "DELETE", "/api/v1/skills/s1", {}},
        {[&] { return run(prompts.updateProfile(std::nullopt, std::nullopt)); }, "PATCH", "/api/v1/profile",
         R"({"id":"u","email":"e"})"},
        {[&] { return run(prompts.fetchProfile()); }, "GET", "/api/v1/profile", R"({"id":"u","email":"e"})"},
        {[&] { return run(prompts.fetchCredits()); }, "GET", "/api/v1/usage/credits",
         R"({"total_credits":1,"used_credits":0,"remaining_credits":1,"subscription_credits":0})"},
        {[&] { return run(history.deleteHistoryItem(QStringLiteral("h1"))); }, "DELETE", "/api/v1/usage/history/h1",
         deletedBody},
        {[&] { return run(history.deleteHistoryItems({})); }, "POST", "/api/v1/usage/history/delete-bulk", deletedBody},
        {[&] { return run(history.clearHistory()); }, "DELETE", "/api/v1/usage/history", deletedBody},
        {[&] { return run(history.fetchFavorites(50, 0)); }, "GET", "/api/v1/favorites?limit=50&offset=0",
         R"({"favorites":[],"total":0,"limit":50,"offset":0})"},
        {[&] { return run(history.addFavorite(QStringLiteral("h1"))); }, "POST", "/api/v1/favorites",
         R"({"id":"f","user_id":"u","history_id":"h1","created_at":"t","input_text":"i","output_text":"o",
             "tokens_used":1})"},
        {[&] { return history.removeFavorite(QStringLiteral("f1")); }, "DELETE", "/api/v1/favorites/f1", {}},
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        transport.reply(200, rows.at(i).answer);
        EXPECT_EQ(failureOf(rows.at(i).call()), nullptr) << rows.at(i).path.constData();
        EXPECT_EQ(methodOf(i), rows.at(i).method);
        EXPECT_EQ(transport.pathOf(i), rows.at(i).path);
    }
}

TEST_F(BackendOperationsTest, BodiesOfTheWritingOperations)
{
    transport.reply(200, R"({"id":"u","email":"e"})");
    transport.reply(200, deletedBody);
    runTask(prompts.updateProfile(std::nullopt, std::nullopt));
    runTask(history.deleteHistoryItems({}));

    EXPECT_EQ(transport.requests().at(0).body, "{}");
    EXPECT_EQ(transport.requests().at(1).body, R"({"ids":[]})");
}

TEST_F(BackendOperationsTest, GeneratePromptChoosesAutoDetectionAndOmitsTheGeneralModel)
{
    struct Row
    {
        std::optional<QString> skill;
        std::optional<QString> model;
        const char *expected;
    };
    const QList<Row> rows = {
        {std::nullopt, std::nullopt, R"({"text":"t","auto_detect":true,"stream":false})"},
        {std::nullopt, QStringLiteral("general"), R"({"text":"t","auto_detect":true,"stream":false})"},
        {QStringLiteral("code"), QStringLiteral("General"),
         R"({"text":"t","skill_slug":"code","auto_detect":false,"stream":false,"target_model":"General"})"},
        {QString(), QStringLiteral("midjourney"),
         R"({"text":"t","skill_slug":"","auto_detect":false,"stream":false,"target_model":"midjourney"})"},
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        transport.reply(200, promptBody);
        runTask(prompts.generatePrompt(QStringLiteral("t"), rows.at(i).skill, rows.at(i).model));
        EXPECT_EQ(bodyOf(i), QJsonDocument::fromJson(rows.at(i).expected).object()) << rows.at(i).expected;
        EXPECT_EQ(transport.pathOf(i), "/api/v1/prompts/generate");
    }
}

TEST_F(BackendOperationsTest, GeneratePromptAndTranscriptionRecordTheBalanceOnALaterTurn)
{
    transport.reply(200, promptBody);
    const auto response = runTask(prompts.generatePrompt(QStringLiteral("a"), std::nullopt, std::nullopt));
    EXPECT_EQ(response.improvedText, QStringLiteral("b"));
    EXPECT_EQ(state.credits(), 0);
    scheduler.runPending();
    EXPECT_EQ(state.credits(), 41);

    QTemporaryDir directory;
    const QString recording = directory.filePath(QStringLiteral("voice_recording_1.m4a"));
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("m4a");
    file.close();

    transport.reply(200, R"({"text":"hi","duration_seconds":1.2,"credits_remaining":39})");
    runTask(prompts.transcribeAudio(recording));
    scheduler.runPending();
    EXPECT_EQ(state.credits(), 39);
    EXPECT_EQ(transport.pathOf(1), "/api/v1/audio/transcribe");

    transport.reply(402);
    EXPECT_EQ(failureOfType<APIError>(prompts.transcribeAudio(recording))->kind(), APIError::Kind::InsufficientCredits);
    scheduler.runPending();
    EXPECT_EQ(state.credits(), 39);
}

TEST_F(BackendOperationsTest, DeletionsOfUnknownIdsFollowTheirRequestKind)
{
    transport.reply(404);
    transport.reply(404);
    transport.reply(404);
    transport.reply(404);

    EXPECT_EQ(failureOfType<APIError>(prompts.getSkill(QStringLiteral("x")))->kind(), APIError::Kind::NotFound);
    EXPECT_EQ(failureOfType<APIError>(prompts.deleteSkill(QStringLiteral("x")))->description(),
              QStringLiteral("Error: 404"));
    EXPECT_EQ(failureOfType<APIError>(history.deleteHistoryItem(QStringLiteral("x")))->kind(),
              APIError::Kind::NotFound);
    EXPECT_EQ(failureOfType<APIError>(history.removeFavorite(QStringLiteral("x")))->description(),
              QStringLiteral("Error: 404"));
}

TEST(HistoryPath, SearchTermIsPercentEncodedWithTheQueryAllowedSet)
{
    const QList<QPair<std::optional<QString>, const char *>> rows = {
        {std::nullopt, "/api/v1/usage/history?limit=50&offset=0"},
        {QString(), "/api/v1/usage/history?limit=50&offset=0"},
        {QStringLiteral("dark mode"), "/api/v1/usage/history?limit=50&offset=0&search=dark%20mode"},
        {QStringLiteral("a&b=c+d"), "/api/v1/usage/history?limit=50&offset=0&search=a&b=c+d"},
        {QStringLiteral("café #1 100%"), "/api/v1/usage/history?limit=50&offset=0&search=caf%C3%A9%20%231%20100%25"},
        {QStringLiteral("q?/@!$'()*,;:~_.-"), "/api/v1/usage/history?limit=50&offset=0&search=q?/@!$'()*,;:~_.-"},
        {QStringLiteral("\"<tag>\""), "/api/v1/usage/history?limit=50&offset=0&search=%22%3Ctag%3E%22"},
    };
    for (const auto &[search, expected] : rows) {
        EXPECT_EQ(HistoryService::historyPath(50, 0, search), QString::fromUtf8(expected)) << expected;
    }
    EXPECT_EQ(HistoryService::historyPath(20, 40, std::nullopt),
              QStringLiteral("/api/v1/usage/history?limit=20&offset=40"));
}

TEST_F(BackendOperationsTest, SearchTravelsOnTheWireExactlyAsBuilt)
{
    transport.reply(200, R"({"history":[],"limit":50,"offset":0})");
    transport.reply(200, R"({"history":[],"limit":50,"offset":0})");

    runTask(history.fetchHistory(50, 0, QStringLiteral("dark mode")));
    runTask(history.fetchHistory(50, 0, QStringLiteral("a&b=c+d é")));

    EXPECT_EQ(transport.pathOf(0), "/api/v1/usage/history?limit=50&offset=0&search=dark%20mode");
    EXPECT_EQ(transport.pathOf(1), "/api/v1/usage/history?limit=50&offset=0&search=a&b=c+d%20%C3%A9");
}

} // namespace
