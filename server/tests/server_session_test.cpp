// Password sign-in, access-token claims and expiry, refresh rotation and reuse, sign-out and password change.
#include "support/testserver.h"

#include <gtest/gtest.h>

using namespace wordloom;
using namespace wordloom::test;

namespace {

HttpResult refresh(TestServer &server, const std::string &token)
{
    return server.post("/auth/v1/token?grant_type=refresh_token", {{"refresh_token", token}});
}

} // namespace

TEST(ServerPasswordGrant, WrongPasswordAndUnknownAccountAnswerAlike)
{
    TestServer server;
    server.signUp("ann@example.com", "correct-horse");
    for (const auto &[email, password] :
         {std::pair("ann@example.com", "wrong-horse"), std::pair("x@example.com", "pw")}) {
        const auto result =
            server.post("/auth/v1/token?grant_type=password", {{"email", email}, {"password", password}});
        EXPECT_EQ(result.status, 400);
        EXPECT_EQ(result.body["error_code"], "invalid_credentials");
    }
    const auto unsupported = server.post("/auth/v1/token?grant_type=magic", nlohmann::json::object());
    EXPECT_EQ(unsupported.status, 400);
}

TEST(ServerAccessToken, CarriesTheIdentityClaims)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com");
    const auto claims = jwtClaims(account.accessToken);
    EXPECT_EQ(claims["sub"], account.userId);
    EXPECT_EQ(claims["aud"], "authenticated");
    EXPECT_EQ(claims["role"], "authenticated");
    EXPECT_EQ(claims["email"], "ann@example.com");
    EXPECT_EQ(claims["iss"], server.origin() + "/auth/v1");
    EXPECT_EQ(claims["exp"].get<std::int64_t>() - claims["iat"].get<std::int64_t>(), 3600);
    EXPECT_FALSE(claims["session_id"].get<std::string>().empty());
    EXPECT_EQ(claims["aal"], "aal1");
    EXPECT_EQ(claims["amr"][0]["method"], "password");
}

TEST(ServerAccessToken, ExpiredTokenIsRefusedByBothServicesButRefreshStillWorks)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com");
    server.advanceClock(std::chrono::seconds(3601));
    const auto user = server.get("/auth/v1/user", account.bearer());
    EXPECT_EQ(user.status, 403);
    EXPECT_EQ(user.body["error_code"], "bad_jwt");
    const auto profile = server.get("/api/v1/profile", account.bearer());
    EXPECT_EQ(profile.status, 401);
    EXPECT_FALSE(profile.detail().empty());

    const auto renewed = refresh(server, account.refreshToken);
    ASSERT_EQ(renewed.status, 200) << renewed.raw;
    EXPECT_EQ(server.get("/api/v1/profile", accountFrom(renewed.body, "", "").bearer()).status, 200);
}

TEST(ServerAccessToken, ForgedOrMissingTokensAreRefused)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com");
    std::string forged = account.accessToken;
    char &inSignature = forged[forged.rfind('.') + 10];
    inSignature = inSignature == 'A' ? 'B' : 'A';
    std::string respelled = account.accessToken;
    // The last character of a 32-byte signature carries two unused bits: flipping one keeps the bytes the same.
    respelled.back() = static_cast<char>(respelled.back() ^ 1);
    EXPECT_EQ(server.get("/api/v1/profile", {{"Authorization", "Bearer " + forged}}).status, 401);
    EXPECT_EQ(server.get("/api/v1/profile", {{"Authorization", "Bearer " + respelled}}).status, 401);
    EXPECT_EQ(server.get("/api/v1/profile").status, 401);
    EXPECT_EQ(server.get("/auth/v1/user").body["error_code"], "no_authorization");
    EXPECT_EQ(server.get("/auth/v1/user", {{"Authorization", "Bearer " + forged}}).body["error_code"], "bad_jwt");
}

TEST(ServerRefreshGrant, RotatesAndRevokesTheSessionWhenAnOldTokenIsReused)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com");
    const auto first = refresh(server, account.refreshToken);
    ASSERT_EQ(first.status, 200);
    const std::string second = first.body["refresh_token"];
    EXPECT_NE(second, account.refreshToken);
    EXPECT_EQ(jwtClaims(first.body["access_token"])["session_id"], jwtClaims(account.accessToken)["session_id"]);

    server.advanceClock(std::chrono::seconds(30));
    const auto reused = refresh(server, account.refreshToken);
    EXPECT_EQ(reused.status, 400);
    EXPECT_EQ(reused.body["error_code"], "refresh_token_already_used");
    // Reuse is treated as theft: the whole session is gone, including the newest token.
    EXPECT_EQ(refresh(server, second).status, 400);
    EXPECT_EQ(server.get("/auth/v1/user", accountFrom(first.body, "", "").bearer()).body["error_code"],
              "session_not_found");
}

TEST(ServerRefreshGrant, PreviousTokenPresentedAgainAtOnceStillGetsAWorkingToken)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com");
    ASSERT_EQ(refresh(server, account.refreshToken).status, 200);
    const auto retried = refresh(server, account.refreshToken);
    ASSERT_EQ(retried.status, 200) << retried.raw;
    EXPECT_EQ(refresh(server, retried.body["refresh_token"]).status, 200);
}

TEST(ServerRefreshGrant, MalformedRequestsAreRejected)
{
    TestServer server;
    const auto missing = server.post("/auth/v1/token?grant_type=refresh_token", nlohmann::json::object());
    EXPECT_EQ(missing.status, 400);
    EXPECT_EQ(missing.body["error"], "invalid_request");
    EXPECT_EQ(refresh(server, "short").body["error_code"], "validation_failed");
    EXPECT_EQ(refresh(server, "an-unknown-but-long-token").body["error_code"], "refresh_token_not_found");
}

TEST(ServerLogout, EndsTheSessionForIdentityAndBackend)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com");
    const Account other = server.signIn("ann@example.com", "correct-horse");
    const auto result = server.post("/auth/v1/logout", nlohmann::json::object(), account.bearer());
    EXPECT_EQ(result.status, 204);
    // Global scope: both sessions are gone.
    for (const Account *session : {&account, &other}) {
        EXPECT_EQ(refresh(server, session->refreshToken).status, 400);
        EXPECT_EQ(server.get("/auth/v1/user", session->bearer()).body["error_code"], "session_not_found");
        EXPECT_EQ(server.get("/api/v1/usage/credits", session->bearer()).status, 401);
    }
    EXPECT_EQ(server.post("/auth/v1/logout?scope=everything", nlohmann::json::object(), account.bearer()).status, 400);
}

TEST(ServerLogout, LocalScopeKeepsOtherSessions)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com");
    const Account other = server.signIn("ann@example.com", "correct-horse");
    EXPECT_EQ(server.post("/auth/v1/logout?scope=local", nlohmann::json::object(), account.bearer()).status, 204);
    EXPECT_EQ(refresh(server, account.refreshToken).status, 400);
    EXPECT_EQ(refresh(server, other.refreshToken).status, 200);
}

TEST(ServerChangePassword, RevokesOtherSessionsAndKeepsTheCurrentOne)
{
    TestServer server;
    const Account current = server.signUp("ann@example.com", "correct-horse");
    const Account elsewhere = server.signIn("ann@example.com", "correct-horse");

    const auto same = server.put("/auth/v1/user", {{"password", "correct-horse"}}, current.bearer());
    EXPECT_EQ(same.status, 422);
    EXPECT_EQ(same.body["error_code"], "same_password");
    const auto weak = server.put("/auth/v1/user", {{"password", "abc"}}, current.bearer());
    EXPECT_EQ(weak.body["error_code"], "weak_password");

    const auto changed = server.put("/auth/v1/user", {{"password", "battery-staple"}}, current.bearer());
    ASSERT_EQ(changed.status, 200) << changed.raw;
    EXPECT_EQ(changed.body["email"], "ann@example.com");
    EXPECT_FALSE(changed.body.contains("access_token"));

    EXPECT_EQ(server.get("/auth/v1/user", current.bearer()).status, 200);
    EXPECT_EQ(refresh(server, current.refreshToken).status, 200);
    EXPECT_EQ(refresh(server, elsewhere.refreshToken).status, 400);
    EXPECT_EQ(server.get("/api/v1/profile", elsewhere.bearer()).status, 401);
    EXPECT_EQ(
        server.post("/auth/v1/token?grant_type=password", {{"email", "ann@example.com"}, {"password", "correct-horse"}})
            .status,
        400);
    server.signIn("ann@example.com", "battery-staple");
}

TEST(ServerUpdateUser, MergesMetadata)
{
    TestServer server;
    const Account account = server.signUp("ann@example.com", "correct-horse", {{"full_name", "Ann"}});
    const auto updated = server.put("/auth/v1/user", {{"data", {{"theme", "dark"}}}}, account.bearer());
    ASSERT_EQ(updated.status, 200);
    EXPECT_EQ(updated.body["user_metadata"]["full_name"], "Ann");
    EXPECT_EQ(updated.body["user_metadata"]["theme"], "dark");
    EXPECT_EQ(server.get("/auth/v1/user", account.bearer()).body["user_metadata"]["theme"], "dark");
}
