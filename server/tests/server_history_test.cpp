// History pages with search and pagination, the three deletions, and favourites, each limited to the caller's
// own records.
#include "support/testserver.h"

#include <gtest/gtest.h>

using namespace wordloom;
using namespace wordloom::test;

namespace {

class ServerHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        account = server.signUp("ann@example.com");
        for (const char *draft : {"dark mode for the settings page", "Explain DARK matter simply",
                                  "a poem about 100% effort", "plan a trip to Lisbon", "fix the login_form bug"}) {
            ASSERT_EQ(
                server.post("/api/v1/prompts/generate", {{"text", draft}, {"auto_detect", true}}, account.bearer())
                    .status,
                200);
        }
        const auto page = history("?limit=50&offset=0");
        for (const auto &item : page.body["history"]) {
            recordIds.push_back(item["id"]);
        }
    }

    HttpResult history(const std::string &query)
    {
        return server.get("/api/v1/usage/history" + query, account.bearer());
    }
    std::vector<std::string> inputs(const HttpResult &page)
    {
        std::vector<std::string> texts;
        for (const auto &item : page.body["history"]) {
            texts.push_back(item["input_text"]);
        }
        return texts;
    }

    TestServer server;
    Account account;
    std::vector<std::string> recordIds; // newest first
};

} // namespace

TEST_F(ServerHistory, PagesNewestFirstAndEchoesLimitAndOffset)
{
    const auto first = history("?limit=2&offset=0");
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(first.body["limit"], 2);
    EXPECT_EQ(first.body["offset"], 0);
    EXPECT_EQ(inputs(first), (std::vector<std::string>{"fix the login_form bug", "plan a trip to Lisbon"}));
    EXPECT_EQ(inputs(history("?limit=2&offset=2")),
              (std::vector<std::string>{"a poem about 100% effort", "Explain DARK matter simply"}));
    EXPECT_EQ(inputs(history("?limit=2&offset=4")), (std::vector<std::string>{"dark mode for the settings page"}));
    EXPECT_TRUE(history("?limit=2&offset=6").body["history"].empty());
    EXPECT_EQ(history("").body["limit"], 50);
}

TEST_F(ServerHistory, SearchMatchesCaseInsensitivelyAndTakesWildcardsLiterally)
{
    struct Case
    {
        const char *query;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"&search=dark%20m", {"Explain DARK matter simply", "dark mode for the settings page"}},
        {"&search=100%25", {"a poem about 100% effort"}},
        {"&search=login_form", {"fix the login_form bug"}},
        {"&search=%25", {"a poem about 100% effort"}},
        {"&search=_", {"fix the login_form bug"}},
        {"&search=nothing-like-this", {}},
        {"&search=",
         {"fix the login_form bug", "plan a trip to Lisbon", "a poem about 100% effort", "Explain DARK matter simply",
          "dark mode for the settings page"}},
    };
    for (const auto &c : cases) {
        const auto page = history(std::string("?limit=50&offset=0") + c.query);
        ASSERT_EQ(page.status, 200) << c.query;
        EXPECT_EQ(inputs(page), c.expected) << c.query;
    }
}

TEST_F(ServerHistory, SearchTermMayHoldUnescapedAmpersandEqualsAndPlus)
{
    ASSERT_EQ(server
                  .post("/api/v1/prompts/generate", {{"text", "compare c++ & rust=fun"}, {"auto_detect", true}},
                        account.bearer())
                  .status,
              200);
    // Sent the way the client encodes a term: spaces as %20, the rest as they are.
    server.client().set_url_encode(false);
    const auto page = history("?limit=50&offset=0&search=c++%20&%20rust=fun");
    server.client().set_url_encode(true);
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(inputs(page), (std::vector<std::string>{"compare c++ & rust=fun"}));
}

TEST_F(ServerHistory, RejectsBadPagingValues)
{
    for (const char *query : {"?limit=0", "?limit=-1", "?limit=abc", "?limit=500", "?offset=-3", "?offset=1e3"}) {
        const auto result = history(query);
        EXPECT_EQ(result.status, 400) << query;
        EXPECT_FALSE(result.detail().empty()) << query;
    }
}

TEST_F(ServerHistory, DeletesOneManyAndAll)
{
    const auto one = server.del("/api/v1/usage/history/" + recordIds[0], account.bearer());
    ASSERT_EQ(one.status, 200);
    EXPECT_EQ(one.body["deleted_count"], 1);
    EXPECT_TRUE(one.body["message"].is_string());
    EXPECT_EQ(server.del("/api/v1/usage/history/" + recordIds[0], account.bearer()).status, 404);

    const auto many =
        server.post("/api/v1/usage/history/delete-bulk",
                    {{"ids", {recordIds[1], recordIds[2], "unknown-id", recordIds[1]}}}, account.bearer());
    ASSERT_EQ(many.status, 200);
    EXPECT_EQ(many.body["deleted_count"], 2);
    const auto none =
        server.post("/api/v1/usage/history/delete-bulk", {{"ids", nlohmann::json::array()}}, account.bearer());
    EXPECT_EQ(none.status, 200);
    EXPECT_EQ(none.body["deleted_count"], 0);
    EXPECT_EQ(history("").body["history"].size(), 2u);

    for (const nlohmann::json &bad :
         {nlohmann::json{{"ids", "x"}}, nlohmann::json{{"ids", {1, 2}}}, nlohmann::json::object()}) {
        EXPECT_EQ(server.post("/api/v1/usage/history/delete-bulk", bad, account.bearer()).status, 400) << bad.dump();
    }
    EXPECT_EQ(history("").body["history"].size(), 2u);

    const auto all = server.del("/api/v1/usage/history", account.bearer());
    EXPECT_EQ(all.body["deleted_count"], 2);
    EXPECT_TRUE(history("").body["history"].empty());
}

TEST_F(ServerHistory, OtherUsersCannotSeeOrDeleteRecords)
{
    const Account other = server.signUp("bob@example.com");
    EXPECT_TRUE(server.get("/api/v1/usage/history", other.bearer()).body["history"].empty());
    EXPECT_EQ(server.del("/api/v1/usage/history/" + recordIds[0], other.bearer()).status, 404);
    EXPECT_EQ(
        server.post("/api/v1/usage/history/delete-bulk", {{"ids", recordIds}}, other.bearer()).body["deleted_count"],
        0);
    EXPECT_EQ(server.del("/api/v1/usage/history", other.bearer()).body["deleted_count"], 0);
    EXPECT_EQ(server.post("/api/v1/favorites", {{"history_id", recordIds[0]}}, other.bearer()).status, 404);
    EXPECT_EQ(history("").body["history"].size(), 5u);
}

TEST_F(ServerHistory, FavouritesMarkListAndUnmark)
{
    const auto added = server.post("/api/v1/favorites", {{"history_id", recordIds[3]}}, account.bearer());
    ASSERT_EQ(added.status, 201) << added.raw;
    EXPECT_EQ(added.body["history_id"], recordIds[3]);
    EXPECT_EQ(added.body["input_text"], "Explain DARK matter simply");
    EXPECT_TRUE(added.body["history_created_at"].is_string());
    const std::string favoriteId = added.body["id"];
    // Marking again returns the same favourite.
    EXPECT_EQ(server.post("/api/v1/favorites", {{"history_id", recordIds[3]}}, account.bearer()).body["id"],
              favoriteId);
    server.post("/api/v1/favorites", {{"history_id", recordIds[0]}}, account.bearer());

    const auto list = server.get("/api/v1/favorites?limit=50&offset=0", account.bearer());
    ASSERT_EQ(list.status, 200);
    EXPECT_EQ(list.body["total"], 2);
    EXPECT_EQ(list.body["favorites"][0]["history_id"], recordIds[0]);
    EXPECT_EQ(server.get("/api/v1/favorites?limit=1&offset=1", account.bearer()).body["favorites"][0]["id"],
              favoriteId);
    EXPECT_TRUE(history("").body["history"][3]["is_favorited"].get<bool>());

    // By the favourite's own id, then by the history record's id.
    EXPECT_EQ(server.del("/api/v1/favorites/" + favoriteId, account.bearer()).status, 204);
    EXPECT_EQ(server.del("/api/v1/favorites/" + recordIds[0], account.bearer()).status, 204);
    EXPECT_EQ(server.del("/api/v1/favorites/" + recordIds[0], account.bearer()).status, 404);
    EXPECT_EQ(server.get("/api/v1/favorites", account.bearer()).body["total"], 0);
    EXPECT_FALSE(history("").body["history"][3]["is_favorited"].get<bool>());

    EXPECT_EQ(server.post("/api/v1/favorites", {{"history_id", "unknown"}}, account.bearer()).status, 404);
    EXPECT_EQ(server.post("/api/v1/favorites", {{"history_id", 5}}, account.bearer()).status, 400);
}

TEST_F(ServerHistory, DeletingARecordRemovesItsFavourite)
{
    server.post("/api/v1/favorites", {{"history_id", recordIds[1]}}, account.bearer());
    server.del("/api/v1/usage/history/" + recordIds[1], account.bearer());
    EXPECT_EQ(server.get("/api/v1/favorites", account.bearer()).body["total"], 0);
}
