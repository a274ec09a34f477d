// Prompt generation over HTTP: the answer, skills and target models, credits with their history records, and errors
// that leave nothing charged.
#include "support/testserver.h"

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace wordloom;
using namespace wordloom::test;

namespace {

class ServerGenerate : public ::testing::Test
{
protected:
    explicit ServerGenerate(std::int64_t credits = 100)
        : server(configWith(credits))
    {
        account = server.signUp("ann@example.com");
    }

    static ServerConfig configWith(std::int64_t credits)
    {
        ServerConfig config = testConfig();
        config.initialCredits = credits;
        return config;
    }

    HttpResult generate(const nlohmann::json &body)
    {
        return server.post("/api/v1/prompts/generate", body, account.bearer());
    }
    std::int64_t remaining() { return server.get("/api/v1/usage/credits", account.bearer()).body["remaining_credits"]; }
    std::size_t historySize() { return server.get("/api/v1/usage/history", account.bearer()).body["history"].size(); }

    TestServer server;
    Account account;
};

class ServerGenerateWithTwoCredits : public ServerGenerate
{
protected:
    ServerGenerateWithTwoCredits()
        : ServerGenerate(2)
    {}
};

} // namespace

TEST_F(ServerGenerate, AnswersTheImprovedPromptAndRecordsIt)
{
    const std::string draft = "write a short story about a lighthouse keeper";
    const auto result = generate({{"text", draft}, {"auto_detect", true}, {"stream", false}});
    ASSERT_EQ(result.status, 200) << result.raw;
    EXPECT_EQ(result.body["original_text"], draft);
    const std::string improved = result.body["improved_text"];
    EXPECT_NE(improved, draft);
    EXPECT_NE(improved.find("lighthouse keeper"), std::string::npos);
    EXPECT_EQ(result.body["skill_used"], "text-enhancer");
    EXPECT_EQ(result.body["skill_name"], "Text Enhancer");
    EXPECT_GT(result.body["tokens_used"].get<std::int64_t>(), 0);
    EXPECT_EQ(result.body["credits_remaining"], 99);
    EXPECT_TRUE(result.body["target_model"].is_null());

    const auto history = server.get("/api/v1/usage/history", account.bearer());
    ASSERT_EQ(history.body["history"].size(), 1u);
    const auto &record = history.body["history"][0];
    EXPECT_EQ(record["input_text"], draft);
    EXPECT_EQ(record["output_text"], improved);
    EXPECT_EQ(record["skill_slug"], "text-enhancer");
    EXPECT_EQ(record["user_id"], account.userId);
    EXPECT_FALSE(record["is_favorited"].get<bool>());
}

TEST_F(ServerGenerate, DetectsTheSkillOrUsesTheOneNamed)
{
    struct Case
    {
        nlohmann::json body;
        const char *skill;
    };
    const Case cases[] = {
        {{{"text", "fix this python function that raises KeyError"}, {"auto_detect", true}}, "code-assistant"},
        {{{"text", "a watercolor painting of a fox"}, {"auto_detect", true}}, "image-prompt"},
        {{{"text", "a slow cinematic video clip of waves"}, {"auto_detect", true}}, "video-prompt"},
        {{{"text", "write an email to my manager asking for Friday off"}, {"auto_detect", true}}, "communication"},
        {{{"text", "a tweet announcing our launch with hashtags"}, {"auto_detect", true}}, "social-media"},
        {{{"text", "a fox in the snow"}, {"auto_detect", true}, {"target_model", "midjourney"}}, "image-prompt"},
        {{{"text", "a fox in the snow"}, {"skill_slug", "social-media"}, {"auto_detect", false}}, "social-media"},
    };
    for (const auto &c : cases) {
        const auto result = generate(c.body);
        ASSERT_EQ(result.status, 200) << c.body.dump() << result.raw;
        EXPECT_EQ(result.body["skill_used"], c.skill) << c.body.dump();
    }
}

TEST_F(ServerGenerate, UsesTheUsersOwnSkillAndPersonalInstructions)
{
    ASSERT_EQ(server
                  .post("/api/v1/skills",
                        {{"name", "Haiku Maker"},
                         {"slug", "haiku"},
                         {"description", "Turns ideas into haiku prompts"},
                         {"category", "text"},
                         {"content", "Always ask for the 5-7-5 syllable form."},
                         {"is_active", true}},
                        account.bearer())
                  .status,
              201);
    server.patch("/api/v1/profile", {{"user_instructions", "Keep answers under 100 words"}}, account.bearer());
    const auto result =
        generate({{"text", "write a poem about autumn"}, {"skill_slug", "haiku"}, {"auto_detect", false}});
    ASSERT_EQ(result.status, 200) << result.raw;
    EXPECT_EQ(result.body["skill_name"], "Haiku Maker");
    const std::string improved = result.body["improved_text"];
    EXPECT_NE(improved.find("5-7-5 syllable form"), std::string::npos) << improved;
    EXPECT_NE(improved.find("Keep answers under 100 words"), std::string::npos) << improved;
}

TEST_F(ServerGenerate, ShapesForTheTargetModel)
{
    const auto models = server.get("/api/v1/prompts/target-models", account.bearer());
    ASSERT_EQ(models.status, 200);
    std::set<std::string> ids;
    for (const auto &model : models.body["models"]) {
        EXPECT_TRUE(model["name"].is_string() && model["category"].is_string());
        ids.insert(model["id"]);
    }
    EXPECT_TRUE(ids.count("general") && ids.count("midjourney") && ids.count("claude"));

    const auto image =
        generate({{"text", "a lighthouse at dusk"}, {"auto_detect", true}, {"target_model", "midjourney"}});
    ASSERT_EQ(image.status, 200);
    const std::string line = image.body["improved_text"];
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    EXPECT_NE(line.find("--ar"), std::string::npos) << line;
    EXPECT_EQ(image.body["target_model"], "midjourney");
}

TEST_F(ServerGenerate, RejectsBadRequestsWithoutCharging)
{
    struct Case
    {
        nlohmann::json body;
        int status;
    };
    const Case cases[] = {
        {{{"auto_detect", true}}, 400},
        {{{"text", ""}, {"auto_detect", true}}, 400},
        {{{"text", "   \n "}, {"auto_detect", true}}, 400},
        {{{"text", 17}, {"auto_detect", true}}, 400},
        {{{"text", "hello"}, {"auto_detect", "yes"}}, 400},
        {{{"text", "hello"}, {"target_model", "gpt-17"}}, 400},
        {{{"text", "hello"}, {"skill_slug", "no-such-skill"}, {"auto_detect", false}}, 404},
        {{{"text", "hello"}, {"skill_slug", ""}, {"auto_detect", false}}, 404},
        {{{"text", std::string(20001, 'a')}, {"auto_detect", true}}, 400},
    };
    for (const auto &c : cases) {
        const auto result = generate(c.body);
        EXPECT_EQ(result.status, c.status) << c.body.dump().substr(0, 80);
        EXPECT_FALSE(result.detail().empty());
    }
    EXPECT_EQ(remaining(), 100);
    EXPECT_EQ(historySize(), 0u);
}

TEST_F(ServerGenerateWithTwoCredits, RefusesWithPaymentRequiredOnceCreditsRunOut)
{
    EXPECT_EQ(generate({{"text", "first draft"}, {"auto_detect", true}}).body["credits_remaining"], 1);
    EXPECT_EQ(generate({{"text", "second draft"}, {"auto_detect", true}}).body["credits_remaining"], 0);
    const auto refused = generate({{"text", "third draft"}, {"auto_detect", true}});
    EXPECT_EQ(refused.status, 402);
    EXPECT_FALSE(refused.detail().empty());
    EXPECT_EQ(remaining(), 0);
    EXPECT_EQ(historySize(), 2u);
    const auto credits = server.get("/api/v1/usage/credits", account.bearer()).body;
    EXPECT_EQ(credits["used_credits"], 2);
}

TEST_F(ServerGenerateWithTwoCredits, ConcurrentGenerationsNeverOverspend)
{
    std::vector<std::thread> threads;
    std::atomic<int> succeeded = 0;
    std::atomic<int> refused = 0;
    for (int i = 0; i < 6; ++i) {
        threads.emplace_back([&, i] {
            httplib::Client client(server.origin());
            const nlohmann::json body = {{"text", "draft number " + std::to_string(i)}, {"auto_detect", true}};
            const auto result =
                client.Post("/api/v1/prompts/generate", account.bearer(), body.dump(), "application/json");
            if (result && result->status == 200) {
                ++succeeded;
            } else if (result && result->status == 402) {
                ++refused;
            }
        });
    }
    for (auto &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(succeeded, 2);
    EXPECT_EQ(refused, 4);
    EXPECT_EQ(remaining(), 0);
    EXPECT_EQ(historySize(), 2u);
}
