// Skills: the seeded system skills, the user's own skills and their validation, read-only system skills, and
// per-user visibility.
#include "support/testserver.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>

using namespace wordloom;
using namespace wordloom::test;

namespace {

nlohmann::json newSkill(const std::string &slug)
{
    return {{"name", "Blog Post Ideas"},
            {"slug", slug},
            {"description", "Ideas for posts"},
            {"category", "text"},
            {"content", "Suggest ten blog post ideas about the topic."},
            {"is_active", true}};
}

class ServerSkills : public ::testing::Test
{
protected:
    void SetUp() override { account = server.signUp("ann@example.com"); }

    HttpResult create(const nlohmann::json &body) { return server.post("/api/v1/skills", body, account.bearer()); }

    TestServer server;
    Account account;
};

} // namespace

TEST_F(ServerSkills, ListStartsWithTheSystemSkills)
{
    const auto list = server.get("/api/v1/skills", account.bearer());
    ASSERT_EQ(list.status, 200);
    EXPECT_EQ(list.body["total"], 6);
    EXPECT_EQ(list.body["system_count"], 6);
    EXPECT_EQ(list.body["user_count"], 0);
    std::set<std::string> categories;
    for (const auto &skill : list.body["skills"]) {
        EXPECT_TRUE(skill["is_system"].get<bool>());
        EXPECT_TRUE(skill["is_active"].get<bool>());
        categories.insert(skill["category"]);
    }
    EXPECT_EQ(categories, (std::set<std::string>{"text", "code", "image", "video", "communication", "social"}));

    const auto one = server.get("/api/v1/skills/system-code-assistant", account.bearer());
    ASSERT_EQ(one.status, 200);
    for (const char *key : {"id", "name", "slug", "description", "category", "content", "author", "version",
                            "created_at", "updated_at"}) {
        EXPECT_TRUE(one.body[key].is_string()) << key;
    }
    EXPECT_EQ(server.get("/api/v1/skills/no-such-skill", account.bearer()).status, 404);
}

TEST_F(ServerSkills, CreateReadUpdateDelete)
{
    const auto created = create(newSkill("blog-post-ideas"));
    ASSERT_EQ(created.status, 201) << created.raw;
    const std::string id = created.body["id"];
    EXPECT_EQ(created.body["slug"], "blog-post-ideas");
    EXPECT_FALSE(created.body["is_system"].get<bool>());
    EXPECT_EQ(server.get("/api/v1/skills", account.bearer()).body["user_count"], 1);

    const auto updated =
        server.put("/api/v1/skills/" + id, {{"name", "Better Ideas"}, {"is_active", false}, {"slug", "ignored-slug"}},
                   account.bearer());
    ASSERT_EQ(updated.status, 200) << updated.raw;
    EXPECT_EQ(updated.body["name"], "Better Ideas");
    EXPECT_FALSE(updated.body["is_active"].get<bool>());
    EXPECT_EQ(updated.body["slug"], "blog-post-ideas");
    EXPECT_EQ(updated.body["description"], "Ideas for posts");
    EXPECT_EQ(server.get("/api/v1/skills/" + id, account.bearer()).body["name"], "Better Ideas");

    EXPECT_EQ(server.del("/api/v1/skills/" + id, account.bearer()).status, 204);
    EXPECT_EQ(server.get("/api/v1/skills/" + id, account.bearer()).status, 404);
    EXPECT_EQ(server.del("/api/v1/skills/" + id, account.bearer()).status, 404);
}

TEST_F(ServerSkills, CreateValidatesEveryField)
{
    struct Case
    {
        const char *name;
        std::function<void(nlohmann::json &)> change;
        int status;
    };
    const Case cases[] = {
        {"upper-case slug", [](auto &b) { b["slug"] = "Blog"; }, 400},
        {"underscore in slug", [](auto &b) { b["slug"] = "blog_ideas"; }, 400},
        {"space in slug", [](auto &b) { b["slug"] = "blog ideas"; }, 400},
        {"empty slug", [](auto &b) { b["slug"] = ""; }, 400},
        {"reserved slug", [](auto &b) { b["slug"] = "auto"; }, 400},
        {"system slug", [](auto &b) { b["slug"] = "code-assistant"; }, 409},
        {"empty name", [](auto &b) { b["name"] = ""; }, 400},
        {"missing description", [](auto &b) { b.erase("description"); }, 400},
        {"unknown category", [](auto &b) { b["category"] = "poetry"; }, 400},
        {"content too short", [](auto &b) { b["content"] = "too short"; }, 400},
        {"content too long", [](auto &b) { b["content"] = std::string(50001, 'x'); }, 400},
        {"is_active not boolean", [](auto &b) { b["is_active"] = "yes"; }, 400},
        {"name not a string", [](auto &b) { b["name"] = 7; }, 400},
    };
    for (const auto &c : cases) {
        nlohmann::json body = newSkill("valid-slug");
        c.change(body);
        const auto result = create(body);
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.raw;
        EXPECT_FALSE(result.detail().empty()) << c.name;
    }
    EXPECT_EQ(server.get("/api/v1/skills", account.bearer()).body["user_count"], 0);
    // Ten characters of content is the shortest accepted.
    nlohmann::json shortest = newSkill("shortest");
    shortest["content"] = "0123456789";
    EXPECT_EQ(create(shortest).status, 201);
}

TEST_F(ServerSkills, SlugIsUniquePerUser)
{
    ASSERT_EQ(create(newSkill("mine")).status, 201);
    EXPECT_EQ(create(newSkill("mine")).status, 409);
    const Account other = server.signUp("bob@example.com");
    EXPECT_EQ(server.post("/api/v1/skills", newSkill("mine"), other.bearer()).status, 201);
}

TEST_F(ServerSkills, SystemSkillsAreReadOnly)
{
    EXPECT_EQ(server.put("/api/v1/skills/system-text-enhancer", {{"name", "Mine now"}}, account.bearer()).status, 403);
    EXPECT_EQ(server.del("/api/v1/skills/system-text-enhancer", account.bearer()).status, 403);
    EXPECT_EQ(server.get("/api/v1/skills/system-text-enhancer", account.bearer()).body["name"], "Text Enhancer");
}

TEST_F(ServerSkills, OtherUsersSkillsAreInvisible)
{
    const std::string id = create(newSkill("private")).body["id"];
    const Account other = server.signUp("bob@example.com");
    EXPECT_EQ(server.get("/api/v1/skills/" + id, other.bearer()).status, 404);
    EXPECT_EQ(server.put("/api/v1/skills/" + id, {{"name", "Hijacked"}}, other.bearer()).status, 404);
    EXPECT_EQ(server.del("/api/v1/skills/" + id, other.bearer()).status, 404);
    EXPECT_EQ(server.get("/api/v1/skills", other.bearer()).body["user_count"], 0);
    EXPECT_EQ(server.get("/api/v1/skills/" + id, account.bearer()).body["name"], "Blog Post Ideas");
}

TEST_F(ServerSkills, UpdateValidatesAndLeavesTheSkillUnchangedOnError)
{
    const std::string id = create(newSkill("stable")).body["id"];
    EXPECT_EQ(server.put("/api/v1/skills/" + id, {{"category", "poetry"}}, account.bearer()).status, 400);
    EXPECT_EQ(server.put("/api/v1/skills/" + id, {{"content", "short"}}, account.bearer()).status, 400);
    EXPECT_EQ(server.put("/api/v1/skills/unknown", {{"name", "x"}}, account.bearer()).status, 404);
    const auto skill = server.get("/api/v1/skills/" + id, account.bearer());
    EXPECT_EQ(skill.body["category"], "text");
    EXPECT_EQ(skill.body["content"], "Suggest ten blog post ideas about the topic.");
}
