// E-mail codes: sign-in codes, verification by code and by token hash, expiry, reuse, and password reset.
#include "support/testserver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>

using namespace wordloom;
using namespace wordloom::test;

namespace {

class ServerEmailCodes : public ::testing::Test
{
protected:
    void SetUp() override { account = server.signUp("ann@example.com", "correct-horse"); }

    HttpResult requestCode(const std::string &email)
    {
        return server.post("/auth/v1/otp?redirect_to=wordloom%3A%2F%2Fauth%2Fcallback",
                           {{"email", email}, {"create_user", false}, {"data", nlohmann::json::object()}});
    }

    TestServer server;
    Account account;
};

} // namespace

TEST_F(ServerEmailCodes, UnknownAddressGetsNoCodeWhenAccountsMayNotBeCreated)
{
    const auto result = requestCode("stranger@example.com");
    EXPECT_EQ(result.status, 422);
    EXPECT_EQ(result.body["error_code"], "otp_disabled");
    EXPECT_TRUE(server.mailbox("stranger@example.com").empty());
}

TEST_F(ServerEmailCodes, CodeSignsInOnceAndOnlyOnce)
{
    ASSERT_EQ(requestCode("ann@example.com").status, 200);
    const auto mail = server.lastMail("ann@example.com");
    EXPECT_EQ(mail["type"], "magiclink");
    const std::string code = mail["code"];
    ASSERT_EQ(code.size(), 8u);
    EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos);

    const std::string wrongCode = code == "00000000" ? "11111111" : "00000000";
    const auto wrong =
        server.post("/auth/v1/verify", {{"email", "ann@example.com"}, {"token", wrongCode}, {"type", "email"}});
    EXPECT_EQ(wrong.status, 403);
    EXPECT_EQ(wrong.body["error_code"], "otp_expired");

    const auto right =
        server.post("/auth/v1/verify", {{"email", "ANN@example.com"}, {"token", code}, {"type", "magiclink"}});
    ASSERT_EQ(right.status, 200) << right.raw;
    EXPECT_EQ(right.body["user"]["id"], account.userId);

    const auto again =
        server.post("/auth/v1/verify", {{"email", "ann@example.com"}, {"token", code}, {"type", "magiclink"}});
    EXPECT_EQ(again.status, 403);
}

TEST_F(ServerEmailCodes, ExpiredCodeIsRefused)
{
    requestCode("ann@example.com");
    const std::string code = server.lastMail("ann@example.com")["code"];
    server.advanceClock(std::chrono::seconds(3601));
    const auto result =
        server.post("/auth/v1/verify", {{"email", "ann@example.com"}, {"token", code}, {"type", "email"}});
    EXPECT_EQ(result.status, 403);
    EXPECT_EQ(result.body["error_code"], "otp_expired");
}

TEST_F(ServerEmailCodes, TokenHashVerifiesAndMustStandAlone)
{
    requestCode("ann@example.com");
    const std::string hash = server.lastMail("ann@example.com")["token_hash"];
    const auto crowded =
        server.post("/auth/v1/verify", {{"token_hash", hash}, {"type", "magiclink"}, {"email", "ann@example.com"}});
    EXPECT_EQ(crowded.status, 400);
    const auto result = server.post(
        "/auth/v1/verify",
        {{"token_hash", hash}, {"type", "magiclink"}, {"gotrue_meta_security", {{"captcha_token", nullptr}}}});
    ASSERT_EQ(result.status, 200) << result.raw;
    EXPECT_EQ(result.body["user"]["id"], account.userId);
    const auto reused = server.post("/auth/v1/verify", {{"token_hash", hash}, {"type", "magiclink"}});
    EXPECT_EQ(reused.status, 403);
    EXPECT_EQ(reused.body["msg"], "Email link is invalid or has expired");
}

TEST_F(ServerEmailCodes, VerifyRejectsMalformedRequests)
{
    const nlohmann::json bodies[] = {
        {{"email", "ann@example.com"}, {"token", "123"}},
        {{"email", "ann@example.com"}, {"token", "123"}, {"type", "carrier-pigeon"}},
        {{"email", "ann@example.com"}, {"type", "email"}},
    };
    for (const auto &body : bodies) {
        const auto result = server.post("/auth/v1/verify", body);
        EXPECT_EQ(result.status, 400) << body.dump();
        EXPECT_EQ(result.body["error_code"], "validation_failed") << body.dump();
    }
}

TEST_F(ServerEmailCodes, CodeRequestsShareTheSendInterval)
{
    ASSERT_EQ(requestCode("ann@example.com").status, 200);
    EXPECT_EQ(requestCode("ann@example.com").status, 429);
    EXPECT_EQ(server.post("/auth/v1/recover", {{"email", "ann@example.com"}}).status, 429);
    server.advanceClock(std::chrono::seconds(60));
    EXPECT_EQ(requestCode("ann@example.com").status, 200);
}

TEST_F(ServerEmailCodes, PasswordResetByCodeThenNewPassword)
{
    const auto requested =
        server.post("/auth/v1/recover?redirect_to=wordloom%3A%2F%2Fauth%2Frecovery", {{"email", "ann@example.com"}});
    ASSERT_EQ(requested.status, 200);
    EXPECT_EQ(requested.body, nlohmann::json::object());
    const auto mail = server.lastMail("ann@example.com");
    EXPECT_EQ(mail["type"], "recovery");
    EXPECT_NE(mail["link"].get<std::string>().find("type=recovery"), std::string::npos);

    const auto verified =
        server.post("/auth/v1/verify", {{"email", "ann@example.com"}, {"token", mail["code"]}, {"type", "recovery"}});
    ASSERT_EQ(verified.status, 200) << verified.raw;
    EXPECT_EQ(jwtClaims(verified.body["access_token"])["amr"][0]["method"], "recovery");
    const Account recovery = accountFrom(verified.body, "ann@example.com", "");
    ASSERT_EQ(server.put("/auth/v1/user", {{"password", "new-password"}}, recovery.bearer()).status, 200);
    server.signIn("ann@example.com", "new-password");
    // The session that existed before the reset is gone.
    EXPECT_EQ(server.post("/auth/v1/token?grant_type=refresh_token", {{"refresh_token", account.refreshToken}}).status,
              400);
}

TEST_F(ServerEmailCodes, ResetForAnUnknownAddressLooksTheSameAndSendsNothing)
{
    const auto result = server.post("/auth/v1/recover", {{"email", "nobody@example.com"}});
    EXPECT_EQ(result.status, 200);
    EXPECT_TRUE(server.mailbox("nobody@example.com").empty());
}

TEST(ServerEmailCodeLength, FollowsTheConfiguredLength)
{
    ServerConfig config = testConfig();
    config.otpLength = 6;
    TestServer server(config);
    server.signUp("ann@example.com");
    ASSERT_EQ(server.post("/auth/v1/otp", {{"email", "ann@example.com"}, {"create_user", false}}).status, 200);
    EXPECT_EQ(server.lastMail("ann@example.com")["code"].get<std::string>().size(), 6u);
}

TEST(ServerEmailCodeSignUp, CreatesAnUnconfirmedAccountWhenAllowed)
{
    TestServer server;
    ASSERT_EQ(server.post("/auth/v1/otp", {{"email", "new@example.com"}, {"create_user", true}}).status, 200);
    const auto mail = server.lastMail("new@example.com");
    EXPECT_EQ(mail["type"], "signup");
    const auto verified =
        server.post("/auth/v1/verify", {{"email", "new@example.com"}, {"token", mail["code"]}, {"type", "email"}});
    ASSERT_EQ(verified.status, 200) << verified.raw;
    EXPECT_TRUE(verified.body["user"].contains("email_confirmed_at"));
}

TEST(ServerMailbox, RequiresAnAddress)
{
    TestServer server;
    EXPECT_EQ(server.get("/dev/mailbox").status, 400);
    EXPECT_TRUE(server.get("/dev/mailbox?email=none%40example.com").body["messages"].empty());
}

TEST(ServerMailbox, IsRefusedToCallersOffThisMachine)
{
    // The first IPv4 address that is not loopback; without one there is nothing to test.
    std::string address;
    ifaddrs *interfaces = nullptr;
    if (getifaddrs(&interfaces) == 0) {
        for (const ifaddrs *entry = interfaces; entry && address.empty(); entry = entry->ifa_next) {
            if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
                char text[INET_ADDRSTRLEN];
                const auto *ipv4 = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
                inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
                if (!std::string(text).starts_with("127.")) {
                    address = text;
                }
            }
        }
        freeifaddrs(interfaces);
    }
    if (address.empty()) {
        GTEST_SKIP() << "no non-loopback IPv4 address on this machine";
    }
    ServerConfig config = testConfig();
    config.host = "0.0.0.0";
    TestServer server(config);
    server.signUp("ann@example.com");
    ASSERT_EQ(server.post("/auth/v1/otp", {{"email", "ann@example.com"}, {"create_user", false}}).status, 200);
    EXPECT_EQ(server.mailbox("ann@example.com").size(), 1u);

    httplib::Client remote(address, std::stoi(server.origin().substr(server.origin().rfind(':') + 1)));
    const auto result = remote.Get("/dev/mailbox?email=ann%40example.com");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 403);
    EXPECT_EQ(result->body.find("code"), std::string::npos);
}
