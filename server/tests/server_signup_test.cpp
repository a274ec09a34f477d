// Sign-up with and without e-mail confirmation, confirmation by code and by link, duplicates, validation and the
// two error-body shapes.
#include "support/testserver.h"

#include <gtest/gtest.h>

using namespace wordloom;
using namespace wordloom::test;

namespace {

ServerConfig confirmingConfig()
{
    ServerConfig config = testConfig();
    config.confirmEmail = true;
    return config;
}

} // namespace

TEST(ServerSignUpWithoutConfirmation, AnswersASessionWithMetadataAndCreatesTheProfile)
{
    TestServer server;
    const auto result = server.post("/auth/v1/signup", {{"email", "Ann@Example.com"},
                                                        {"password", "correct-horse"},
                                                        {"data", {{"full_name", "Ann Lee"}}},
                                                        {"code_challenge", nullptr},
                                                        {"code_challenge_method", nullptr}});
    ASSERT_EQ(result.status, 200) << result.raw;
    EXPECT_EQ(result.body["token_type"], "bearer");
    EXPECT_EQ(result.body["expires_in"], 3600);
    EXPECT_FALSE(result.body["refresh_token"].get<std::string>().empty());
    EXPECT_EQ(result.body["user"]["email"], "ann@example.com");
    EXPECT_EQ(result.body["user"]["user_metadata"]["full_name"], "Ann Lee");
    EXPECT_TRUE(result.body["user"].contains("email_confirmed_at"));

    const Account account = accountFrom(result.body, "ann@example.com", "correct-horse");
    const auto profile = server.get("/api/v1/profile", account.bearer());
    ASSERT_EQ(profile.status, 200);
    EXPECT_EQ(profile.body["full_name"], "Ann Lee");
    EXPECT_EQ(profile.body["id"], account.userId);
}

TEST(ServerSignUpWithoutConfirmation, RejectsARegisteredAddress)
{
    TestServer server;
    server.signUp("bob@example.com");
    const auto again = server.post("/auth/v1/signup", {{"email", "bob@example.com"}, {"password", "other-pass"}});
    EXPECT_EQ(again.status, 422);
    EXPECT_EQ(again.body["error_code"], "user_already_exists");
}

TEST(ServerSignUpWithConfirmation, AnswersABareUserAndMailsACodeThatConfirms)
{
    TestServer server(confirmingConfig());
    const auto result = server.post("/auth/v1/signup?redirect_to=wordloom%3A%2F%2Fauth%2Fconfirm",
                                    {{"email", "cat@example.com"}, {"password", "correct-horse"}});
    ASSERT_EQ(result.status, 200) << result.raw;
    EXPECT_FALSE(result.body.contains("access_token"));
    EXPECT_TRUE(result.body.contains("confirmation_sent_at"));
    EXPECT_FALSE(result.body.contains("email_confirmed_at"));
    EXPECT_EQ(result.body["identities"].size(), 1u);

    const auto notYet = server.post("/auth/v1/token?grant_type=password",
                                    {{"email", "cat@example.com"}, {"password", "correct-horse"}});
    EXPECT_EQ(notYet.status, 400);
    EXPECT_EQ(notYet.body["error_code"], "email_not_confirmed");

    const auto mail = server.lastMail("cat@example.com");
    EXPECT_EQ(mail["type"], "signup");
    EXPECT_EQ(mail["code"].get<std::string>().size(), 8u);
    EXPECT_EQ(mail["redirect_to"], "wordloom://auth/confirm");
    const auto verified =
        server.post("/auth/v1/verify", {{"email", "cat@example.com"}, {"token", mail["code"]}, {"type", "signup"}});
    ASSERT_EQ(verified.status, 200) << verified.raw;
    EXPECT_TRUE(verified.body["user"].contains("email_confirmed_at"));
    EXPECT_EQ(jwtClaims(verified.body["access_token"])["amr"][0]["method"], "otp");
    server.signIn("cat@example.com", "correct-horse");
}

TEST(ServerSignUpWithConfirmation, LinkRedirectsWithTokensInTheFragmentOnceOnly)
{
    TestServer server(confirmingConfig());
    server.post("/auth/v1/signup?redirect_to=wordloom%3A%2F%2Fauth%2Fconfirm",
                {{"email", "dan@example.com"}, {"password", "correct-horse"}});
    const std::string link = server.lastMail("dan@example.com")["link"];
    ASSERT_EQ(link.rfind(server.origin(), 0), 0u) << link;
    const std::string path = link.substr(server.origin().size());

    const auto first = server.get(path);
    EXPECT_EQ(first.status, 303);
    const std::string location = first.header("Location");
    EXPECT_EQ(location.rfind("wordloom://auth/confirm#access_token=", 0), 0u) << location;
    EXPECT_NE(location.find("&refresh_token="), std::string::npos);
    EXPECT_NE(location.find("&type=signup"), std::string::npos);

    const auto second = server.get(path);
    EXPECT_EQ(second.status, 303);
    EXPECT_NE(second.header("Location").find("#error=access_denied&error_code=otp_expired"), std::string::npos)
        << second.header("Location");
}

TEST(ServerSignUpWithConfirmation, ConfirmedDuplicateGetsAnObfuscatedUserWithoutIdentities)
{
    TestServer server(confirmingConfig());
    server.post("/auth/v1/signup", {{"email", "eve@example.com"}, {"password", "correct-horse"}});
    const auto code = server.lastMail("eve@example.com")["code"];
    server.post("/auth/v1/verify", {{"email", "eve@example.com"}, {"token", code}, {"type", "signup"}});

    const auto duplicate = server.post("/auth/v1/signup", {{"email", "eve@example.com"}, {"password", "another-pass"}});
    ASSERT_EQ(duplicate.status, 200);
    EXPECT_TRUE(duplicate.body["identities"].empty());
    EXPECT_FALSE(duplicate.body.contains("access_token"));
    // The original password still signs in.
    server.signIn("eve@example.com", "correct-horse");
}

TEST(ServerSignUpWithConfirmation, ResendIsLimitedToOneMailPerMinutePerAddress)
{
    TestServer server(confirmingConfig());
    server.post("/auth/v1/signup", {{"email", "fay@example.com"}, {"password", "correct-horse"}});
    const auto tooSoon = server.post("/auth/v1/resend", {{"type", "signup"}, {"email", "fay@example.com"}});
    EXPECT_EQ(tooSoon.status, 429);
    EXPECT_EQ(tooSoon.body["error_code"], "over_email_send_rate_limit");

    server.advanceClock(std::chrono::seconds(61));
    const auto later = server.post("/auth/v1/resend", {{"type", "signup"}, {"email", "fay@example.com"}});
    EXPECT_EQ(later.status, 200);
    EXPECT_EQ(server.mailbox("fay@example.com").size(), 2u);
    // Only the newest code confirms.
    const auto messages = server.mailbox("fay@example.com");
    const auto stale = server.post("/auth/v1/verify",
                                   {{"email", "fay@example.com"}, {"token", messages[0]["code"]}, {"type", "signup"}});
    EXPECT_EQ(stale.status, 403);
}

TEST(ServerSignUpValidation, RejectsBadInputWithTheDocumentedCodes)
{
    struct Case
    {
        const char *name;
        nlohmann::json body;
        int status;
        const char *code;
    };
    const Case cases[] = {
        {"short password", {{"email", "g@example.com"}, {"password", "12345"}}, 422, "weak_password"},
        {"long password", {{"email", "g@example.com"}, {"password", std::string(73, 'x')}}, 400, "validation_failed"},
        {"no password", {{"email", "g@example.com"}}, 400, "validation_failed"},
        {"no e-mail", {{"password", "correct-horse"}}, 400, "validation_failed"},
        {"bad e-mail", {{"email", "not-an-address"}, {"password", "correct-horse"}}, 400, "validation_failed"},
        {"half a PKCE pair",
         {{"email", "g@example.com"}, {"password", "correct-horse"}, {"code_challenge", "abc"}},
         400,
         "validation_failed"},
        {"metadata not an object",
         {{"email", "g@example.com"}, {"password", "correct-horse"}, {"data", "x"}},
         400,
         "bad_json"},
    };
    TestServer server;
    for (const auto &c : cases) {
        const auto result = server.post("/auth/v1/signup", c.body);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.body["error_code"], c.code) << c.name;
    }
    const auto weak = server.post("/auth/v1/signup", cases[0].body);
    EXPECT_EQ(weak.body["weak_password"]["reasons"][0], "length");
    EXPECT_TRUE(server.mailbox("g@example.com").empty());
    EXPECT_EQ(
        server.post("/auth/v1/token?grant_type=password", {{"email", "g@example.com"}, {"password", "12345"}}).status,
        400);
}

TEST(ServerAuthErrorShapes, VersionHeaderSelectsTheVersionedBodyAndIsEchoed)
{
    TestServer server;
    const nlohmann::json wrong = {{"email", "nobody@example.com"}, {"password", "whatever1"}};
    const auto plain = server.post("/auth/v1/token?grant_type=password", wrong);
    EXPECT_EQ(plain.status, 400);
    EXPECT_EQ(plain.body["code"], 400);
    EXPECT_EQ(plain.body["error_code"], "invalid_credentials");
    EXPECT_EQ(plain.body["msg"], "Invalid login credentials");
    EXPECT_EQ(plain.header("x-sb-error-code"), "invalid_credentials");

    const auto versioned =
        server.post("/auth/v1/token?grant_type=password", wrong, {{"X-Supabase-Api-Version", "2024-01-01"}});
    EXPECT_EQ(versioned.status, 400);
    EXPECT_EQ(versioned.body["code"], "invalid_credentials");
    EXPECT_EQ(versioned.body["message"], "Invalid login credentials");
    EXPECT_EQ(versioned.header("X-Supabase-Api-Version"), "2024-01-01");
}
