// Profile and credits: reading, updating personal instructions, and the bearer check on the backend.
#include "support/testserver.h"

#include <gtest/gtest.h>

using namespace wordloom;
using namespace wordloom::test;

TEST(ServerProfile, ReadsTheSignedInUser)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com", "correct-horse", {{"full_name", "Ann Lee"}});
    const auto profile = server.get("/api/v1/profile", account.bearer());
    ASSERT_EQ(profile.status, 200);
    EXPECT_EQ(profile.body["id"], account.userId);
    EXPECT_EQ(profile.body["email"], "ann@example.com");
    EXPECT_EQ(profile.body["full_name"], "Ann Lee");
    EXPECT_TRUE(profile.body["user_instructions"].is_null());
}

TEST(ServerProfile, PatchUpdatesOnlyTheFieldsSent)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com", "correct-horse", {{"full_name", "Ann Lee"}});
    const auto patched =
        server.patch("/api/v1/profile", {{"user_instructions", "Answer in British English."}}, account.bearer());
    ASSERT_EQ(patched.status, 200) << patched.raw;
    EXPECT_EQ(patched.body["user_instructions"], "Answer in British English.");
    EXPECT_EQ(patched.body["full_name"], "Ann Lee");
    EXPECT_TRUE(patched.body["created_at"].is_string());

    EXPECT_EQ(server.patch("/api/v1/profile", nlohmann::json::object(), account.bearer()).status, 200);
    const auto cleared = server.patch("/api/v1/profile", {{"user_instructions", ""}}, account.bearer());
    EXPECT_EQ(cleared.body["user_instructions"], "");
    EXPECT_EQ(server.get("/api/v1/profile", account.bearer()).body["user_instructions"], "");
}

TEST(ServerProfile, PatchRejectsBadValuesWithoutChangingAnything)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com", "correct-horse", {{"full_name", "Ann Lee"}});
    const nlohmann::json bodies[] = {
        {{"full_name", 42}},
        {{"user_instructions", {"a", "list"}}},
        {{"user_instructions", std::string(10001, 'x')}},
        {{"full_name", "Bob"}, {"user_instructions", false}},
    };
    for (const auto &body : bodies) {
        const auto result = server.patch("/api/v1/profile", body, account.bearer());
        EXPECT_EQ(result.status, 400) << body.dump().substr(0, 80);
        EXPECT_FALSE(result.detail().empty());
    }
    const auto profile = server.get("/api/v1/profile", account.bearer());
    EXPECT_EQ(profile.body["full_name"], "Ann Lee");
    EXPECT_TRUE(profile.body["user_instructions"].is_null());
}

TEST(ServerCredits, StartWithTheConfiguredAmount)
{
    ServerConfig config = testConfig();
    config.initialCredits = 25;
    TestServer server(config);
    const Account account = server.signUp("ann@example.com");
    const auto credits = server.get("/api/v1/usage/credits", account.bearer());
    ASSERT_EQ(credits.status, 200);
    EXPECT_EQ(credits.body["total_credits"], 25);
    EXPECT_EQ(credits.body["used_credits"], 0);
    EXPECT_EQ(credits.body["remaining_credits"], 25);
    EXPECT_EQ(credits.body["subscription_credits"], 0);
}

TEST(ServerBearer, EveryBackendEndpointRequiresAToken)
{
    TestServer server;
    const std::pair<std::string, std::string> endpoints[] = {
        {"GET", "/api/v1/profile"},
        {"PATCH", "/api/v1/profile"},
        {"GET", "/api/v1/usage/credits"},
        {"GET", "/api/v1/skills"},
        {"POST", "/api/v1/skills"},
        {"GET", "/api/v1/skills/system-text-enhancer"},
        {"PUT", "/api/v1/skills/x"},
        {"DELETE", "/api/v1/skills/x"},
        {"GET", "/api/v1/prompts/target-models"},
        {"POST", "/api/v1/prompts/generate"},
        {"GET", "/api/v1/usage/history"},
        {"DELETE", "/api/v1/usage/history"},
        {"DELETE", "/api/v1/usage/history/x"},
        {"POST", "/api/v1/usage/history/delete-bulk"},
        {"GET", "/api/v1/favorites"},
        {"POST", "/api/v1/favorites"},
        {"DELETE", "/api/v1/favorites/x"},
        {"POST", "/api/v1/audio/transcribe"},
    };
    for (const auto &[method, path] : endpoints) {
        for (const httplib::Headers &headers :
             {httplib::Headers{}, httplib::Headers{{"Authorization", "Bearer not.a.jwt"}},
              httplib::Headers{{"Authorization", "Basic dXNlcjpwYXNz"}}}) {
            httplib::Request request;
            request.method = method;
            request.path = path;
            request.headers = headers;
            request.body = "{}";
            request.set_header("Content-Type", "application/json");
            const auto result = server.client().send(request);
            ASSERT_TRUE(result) << method << " " << path;
            EXPECT_EQ(result->status, 401) << method << " " << path;
            const auto body = nlohmann::json::parse(result->body, nullptr, false);
            EXPECT_TRUE(body.is_object() && body["detail"].is_string())
                << method << " " << path << ": " << result->body;
        }
    }
}
