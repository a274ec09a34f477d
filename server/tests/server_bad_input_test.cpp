// Malformed requests get clear 4xx answers and change nothing that is stored.
#include "support/testserver.h"

#include <gtest/gtest.h>

using namespace wordloom;
using namespace wordloom::test;

namespace {

class ServerBadInput : public ::testing::Test
{
protected:
    void SetUp() override { account = server.signUp("ann@example.com", "correct-horse", {{"full_name", "Ann"}}); }

    nlohmann::json snapshot()
    {
        return {server.get("/api/v1/usage/credits", account.bearer()).body,
                server.get("/api/v1/usage/history", account.bearer()).body["history"],
                server.get("/api/v1/skills", account.bearer()).body["total"],
                server.get("/api/v1/profile", account.bearer()).body,
                server.get("/api/v1/favorites", account.bearer()).body["total"]};
    }

    TestServer server;
    Account account;
};

} // namespace

TEST_F(ServerBadInput, MalformedBodiesAreRejectedWithADetail)
{
    const nlohmann::json before = snapshot();
    struct Case
    {
        const char *method;
        const char *path;
        std::string body;
        int status;
    };
    const Case cases[] = {
        {"POST", "/api/v1/prompts/generate", "{\"text\": \"unterminated", 400},
        {"POST", "/api/v1/prompts/generate", "[\"an\", \"array\"]", 400},
        {"POST", "/api/v1/prompts/generate", "", 400},
        {"POST", "/api/v1/prompts/generate", "{\"text\": \"hi\", \"stream\": \"no\"}", 400},
        {"POST", "/api/v1/prompts/generate", "{\"text\": \"\\ud800\"}", 400},
        {"POST", "/api/v1/skills", "{\"name\": null}", 400},
        {"PUT", "/api/v1/skills/system-text-enhancer", "nonsense", 400},
        {"PATCH", "/api/v1/profile", "{\"full_name\": [1]}", 400},
        {"POST", "/api/v1/favorites", "{}", 400},
        {"POST", "/api/v1/usage/history/delete-bulk", "{\"ids\": {}}", 400},
        {"POST", "/api/v1/prompts/generate", "{\"text\": \"" + std::string(1100 * 1024, 'a') + "\"}", 413},
    };
    for (const auto &c : cases) {
        httplib::Request request;
        request.method = c.method;
        request.path = c.path;
        request.headers = account.bearer();
        request.body = c.body;
        request.set_header("Content-Type", "application/json");
        const auto result = server.client().send(request);
        ASSERT_TRUE(result) << c.method << " " << c.path;
        EXPECT_EQ(result->status, c.status) << c.method << " " << c.path << " " << c.body.substr(0, 40);
        const auto body = nlohmann::json::parse(result->body, nullptr, false);
        EXPECT_TRUE(body.is_object() && body["detail"].is_string() && !body["detail"].get<std::string>().empty())
            << result->body.substr(0, 200);
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(ServerBadInput, UnknownRoutesAndMethodsAnswerWithADetail)
{
    const std::pair<std::string, std::string> requests[] = {
        {"GET", "/api/v1/nothing-here"}, {"GET", "/"}, {"POST", "/api/v1/profile"}, {"PATCH", "/api/v1/skills"},
        {"GET", "/api/v2/profile"},
    };
    for (const auto &[method, path] : requests) {
        httplib::Request request;
        request.method = method;
        request.path = path;
        request.headers = account.bearer();
        const auto result = server.client().send(request);
        ASSERT_TRUE(result);
        EXPECT_GE(result->status, 400) << method << " " << path;
        EXPECT_LT(result->status, 500) << method << " " << path;
        const auto body = nlohmann::json::parse(result->body, nullptr, false);
        EXPECT_TRUE(body.is_object() && body["detail"].is_string()) << method << " " << path << ": " << result->body;
    }
    const auto auth = server.get("/auth/v1/nothing-here");
    EXPECT_EQ(auth.status, 404);
    EXPECT_EQ(auth.body["code"], 404);
}

TEST_F(ServerBadInput, OversizedUploadIsRejectedBeforeReadingIt)
{
    const auto before = snapshot();
    const auto result =
        server.upload("/api/v1/audio/transcribe",
                      {{"file", std::string(33 * 1024 * 1024, '\0'), "big.m4a", "audio/m4a"}}, account.bearer());
    EXPECT_EQ(result.status, 413);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(ServerBadInput, IdentityServiceRejectsMalformedJson)
{
    for (const std::string body : {"{oops", "42", "\"text\""}) {
        const auto result = server.postRaw("/auth/v1/token?grant_type=password", body, "application/json");
        EXPECT_EQ(result.status, 400) << body;
        EXPECT_EQ(result.body["error_code"], "bad_json") << body;
    }
    const auto wrongType = server.post("/auth/v1/signup", {{"email", 5}, {"password", "correct-horse"}});
    EXPECT_EQ(wrongType.status, 400);
    EXPECT_EQ(wrongType.body["error_code"], "bad_json");
    const auto large =
        server.postRaw("/auth/v1/signup", "{\"email\":\"" + std::string(1100 * 1024, 'a') + "\"}", "application/json");
    EXPECT_EQ(large.status, 413);
}
