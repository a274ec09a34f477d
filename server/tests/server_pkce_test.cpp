// Provider sign-in through the local stand-in page and the PKCE code exchange, for OAuth and e-mail flows.
#include "core/crypto.h"
#include "support/testserver.h"

#include <gtest/gtest.h>

using namespace wordloom;
using namespace wordloom::test;

namespace {

const std::string kVerifier = "a-verifier-of-enough-length-0123456789-abcdefghijklmnop";

std::string challengeFor(const std::string &verifier)
{
    return crypto::base64Url(crypto::sha256(verifier));
}

std::string queryValue(const std::string &url, const std::string &key)
{
    const auto at = url.find(key + "=");
    if (at == std::string::npos) {
        return {};
    }
    const auto start = at + key.size() + 1;
    return url.substr(start, url.find_first_of("&#", start) - start);
}

class ServerProviderSignIn : public ::testing::Test
{
protected:
    // Starts /authorize and returns the stand-in page's state.
    std::string authorize(const std::string &provider = "google")
    {
        const auto result =
            server.get("/auth/v1/authorize?provider=" + provider +
                       "&redirect_to=wordloom%3A%2F%2Fauth%2Fcallback&code_challenge=" + challengeFor(kVerifier) +
                       "&code_challenge_method=s256");
        EXPECT_EQ(result.status, 302) << result.raw;
        const std::string location = result.header("Location");
        EXPECT_EQ(location.rfind(server.origin() + "/auth/v1/provider-stand-in?state=", 0), 0u) << location;
        return queryValue(location, "state");
    }

    HttpResult answer(const std::string &state, const std::string &action, const std::string &email)
    {
        return server.postRaw("/auth/v1/provider-stand-in", "state=" + state + "&action=" + action + "&email=" + email,
                              "application/x-www-form-urlencoded");
    }

    HttpResult exchange(const std::string &code, const std::string &verifier)
    {
        return server.post("/auth/v1/token?grant_type=pkce", {{"auth_code", code}, {"code_verifier", verifier}});
    }

    TestServer server;
};

} // namespace

TEST_F(ServerProviderSignIn, ContinueRedirectsWithACodeThatExchangesOnce)
{
    const std::string state = authorize();
    const auto page = server.get("/auth/v1/provider-stand-in?state=" + state);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.raw.find("Continue"), std::string::npos);
    EXPECT_NE(page.raw.find("Google"), std::string::npos);

    const auto redirect = answer(state, "continue", "gina%40example.com");
    ASSERT_EQ(redirect.status, 302);
    const std::string location = redirect.header("Location");
    ASSERT_EQ(location.rfind("wordloom://auth/callback?code=", 0), 0u) << location;
    const std::string code = queryValue(location, "code");

    const auto session = exchange(code, kVerifier);
    ASSERT_EQ(session.status, 200) << session.raw;
    EXPECT_EQ(session.body["user"]["email"], "gina@example.com");
    EXPECT_EQ(session.body["user"]["app_metadata"]["provider"], "google");
    EXPECT_EQ(jwtClaims(session.body["access_token"])["amr"][0]["method"], "oauth");

    const auto again = exchange(code, kVerifier);
    EXPECT_EQ(again.status, 404);
    EXPECT_EQ(again.body["error_code"], "flow_state_not_found");
}

TEST_F(ServerProviderSignIn, WrongVerifierIsRejectedAndEndsTheFlow)
{
    const std::string state = authorize("apple");
    const std::string code = queryValue(answer(state, "continue", "hal%40example.com").header("Location"), "code");
    const auto wrong = exchange(code, kVerifier + "x");
    EXPECT_EQ(wrong.status, 400);
    EXPECT_EQ(wrong.body["error_code"], "bad_code_verifier");
    EXPECT_EQ(exchange(code, kVerifier).status, 404);
}

TEST_F(ServerProviderSignIn, CancelRedirectsWithAnErrorInQueryAndFragment)
{
    const std::string state = authorize();
    const auto redirect = answer(state, "cancel", "");
    ASSERT_EQ(redirect.status, 302);
    const std::string location = redirect.header("Location");
    EXPECT_EQ(location.rfind("wordloom://auth/callback?error=access_denied", 0), 0u) << location;
    EXPECT_NE(location.find("#error=access_denied"), std::string::npos);
}

TEST_F(ServerProviderSignIn, ExpiredFlowCannotBeFinished)
{
    const std::string state = authorize();
    const std::string code = queryValue(answer(state, "continue", "ivy%40example.com").header("Location"), "code");
    server.advanceClock(std::chrono::seconds(301));
    const auto result = exchange(code, kVerifier);
    EXPECT_EQ(result.status, 422);
    EXPECT_EQ(result.body["error_code"], "flow_state_expired");
    EXPECT_EQ(server.get("/auth/v1/provider-stand-in?state=" + state).status, 404);
}

TEST_F(ServerProviderSignIn, RejectsBadStarts)
{
    EXPECT_EQ(server.get("/auth/v1/authorize?provider=myspace&redirect_to=wordloom%3A%2F%2Fx").status, 400);
    EXPECT_EQ(server.get("/auth/v1/authorize?provider=google&code_challenge=short&code_challenge_method=s256").status,
              400);
    EXPECT_EQ(server
                  .get("/auth/v1/authorize?provider=google&code_challenge=" + challengeFor(kVerifier) +
                       "&code_challenge_method=md5")
                  .status,
              400);
    EXPECT_EQ(exchange("", kVerifier).body["error_code"], "validation_failed");
}

TEST_F(ServerProviderSignIn, ForeignRedirectTargetsFallBackToTheServer)
{
    const auto result = server.get("/auth/v1/authorize?provider=google&redirect_to=https%3A%2F%2Fevil.example%2F"
                                   "&code_challenge=" +
                                   challengeFor(kVerifier) + "&code_challenge_method=s256");
    const std::string state = queryValue(result.header("Location"), "state");
    const std::string location = answer(state, "continue", "jo%40example.com").header("Location");
    EXPECT_EQ(location.rfind(server.origin() + "/?code=", 0), 0u) << location;
}

TEST(ServerEmailPkce, ConfirmationLinkRedirectsWithACodeForTheExchange)
{
    ServerConfig config = testConfig();
    config.confirmEmail = true;
    TestServer server(config);
    const auto signUp = server.post("/auth/v1/signup?redirect_to=wordloom%3A%2F%2Fauth%2Fconfirm",
                                    {{"email", "kim@example.com"},
                                     {"password", "correct-horse"},
                                     {"code_challenge", challengeFor(kVerifier)},
                                     {"code_challenge_method", "s256"}});
    ASSERT_EQ(signUp.status, 200) << signUp.raw;
    const std::string link = server.lastMail("kim@example.com")["link"];
    EXPECT_NE(link.find("token=pkce_"), std::string::npos);
    const auto redirect = server.get(link.substr(server.origin().size()));
    ASSERT_EQ(redirect.status, 303);
    const std::string location = redirect.header("Location");
    ASSERT_EQ(location.rfind("wordloom://auth/confirm?code=", 0), 0u) << location;
    const auto session = server.post("/auth/v1/token?grant_type=pkce",
                                     {{"auth_code", queryValue(location, "code")}, {"code_verifier", kVerifier}});
    ASSERT_EQ(session.status, 200) << session.raw;
    EXPECT_TRUE(session.body["user"].contains("email_confirmed_at"));
}
