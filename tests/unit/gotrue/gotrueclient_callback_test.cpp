#include "auth/gotrue/identityserviceerror.h"
#include "auth/gotrue/pkcepair.h"
#include "gotrueclientfixture.h"

#include <QUrlQuery>

namespace {

using Callback = GoTrueClientTest;

const QUrl callbackUrl(QStringLiteral("wordloom://auth/callback"));

TEST_F(Callback, ProviderSignInUrlCarriesTheChallengeOfTheStoredVerifier)
{
    for (const auto &[provider, name] : {std::pair(SignInProvider::Google, QStringLiteral("google")),
                                         std::pair(SignInProvider::Apple, QStringLiteral("apple"))}) {
        const QUrl url = runTask(client->providerSignInUrl(provider, callbackUrl));

        const QString verifier = QString::fromUtf8(storage.items.value(verifierKey)).remove(QLatin1Char('"'));
        EXPECT_EQ(url.toString(QUrl::FullyEncoded),
                  QStringLiteral("https://abcdefghijklmnopqrst.supabase.co/auth/v1/authorize?provider=") + name +
                      QStringLiteral("&redirect_to=wordloom%3A%2F%2Fauth%2Fcallback&code_challenge=") +
                      PkcePair::challengeFor(verifier) + QStringLiteral("&code_challenge_method=s256"));
    }
    EXPECT_TRUE(transport.requests().isEmpty()) << "the browser opens the URL, not the client";
}

TEST_F(Callback, ExchangesAPkceCodeWithTheStoredVerifierOnce)
{
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);
    runTask(client->providerSignInUrl(SignInProvider::Google, callbackUrl));
    const QString verifier = QString::fromUtf8(storage.items.value(verifierKey)).remove(QLatin1Char('"'));
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));

    const AuthSession session =
        runTask(client->completeFromCallbackUrl(QUrl(QStringLiteral("wordloom://auth/callback?code=code-1"))));

    EXPECT_EQ(transport.pathOf(0), "/auth/v1/token?grant_type=pkce");
    EXPECT_EQ(bodyOf(0), (QJsonObject{{QStringLiteral("auth_code"), QStringLiteral("code-1")},
                                      {QStringLiteral("code_verifier"), verifier}}));
    EXPECT_EQ(session.accessToken, QStringLiteral("access-1"));
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedIn:access-1")});
    EXPECT_FALSE(storage.items.contains(verifierKey));
    EXPECT_TRUE(storage.items.contains(sessionKey));

    const auto again = failureOfType<IdentityServiceError>(
        client->completeFromCallbackUrl(QUrl(QStringLiteral("wordloom://auth/callback?code=code-1"))));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->code(), QStringLiteral("pkce_verifier_missing"));
    EXPECT_EQ(transport.requests().size(), 1);
}

TEST_F(Callback, ACodeFromAPasswordResetLinkAnnouncesRecovery)
{
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);
    transport.reply(200, "{}");
    runTask(client->requestPasswordReset(QStringLiteral("a@b.test"), QUrl(QStringLiteral("wordloom://auth/recovery"))));
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));

    runTask(client->completeFromCallbackUrl(QUrl(QStringLiteral("wordloom://auth/recovery?code=code-1"))));

    EXPECT_FALSE(bodyOf(1).value(QStringLiteral("code_verifier")).toString().contains(QLatin1Char('/')));
    EXPECT_EQ(taken(*events),
              (QStringList{QStringLiteral("SignedIn:access-1"), QStringLiteral("PasswordRecovery:access-1")}));
}

TEST_F(Callback, AFailedExchangeStillSpendsTheVerifier)
{
    runTask(client->providerSignInUrl(SignInProvider::Google, callbackUrl));
    transport.reply(404,
                    R"({"code":"flow_state_not_found","message":"invalid flow state, no valid flow state found"})");

    const auto failure = failureOfType<IdentityServiceError>(
        client->completeFromCallbackUrl(QUrl(QStringLiteral("wordloom://auth/callback?code=stale"))));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), QStringLiteral("flow_state_not_found"));
    EXPECT_FALSE(storage.items.contains(verifierKey));
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

TEST_F(Callback, TokensInTheFragmentBecomeASessionWithTheirUser)
{
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);
    transport.reply(200, R"({"id":"user-1","email":"a@b.test"})");
    const qint64 expiresAt = nowSeconds() + 3600;

    const AuthSession session = runTask(client->completeFromCallbackUrl(
        QUrl(QStringLiteral("wordloom://auth/confirm#access_token=access-1&expires_at=%1&expires_in=3600"
                            "&refresh_token=refresh-1&sb=&token_type=bearer&type=recovery")
                 .arg(expiresAt))));

    EXPECT_EQ(session, (AuthSession{QStringLiteral("access-1"), QStringLiteral("refresh-1")}));
    EXPECT_EQ(transport.requests().at(0).method, "GET");
    EXPECT_EQ(transport.pathOf(0), "/auth/v1/user");
    EXPECT_EQ(transport.requests().at(0).header("Authorization"), "Bearer access-1");
    EXPECT_TRUE(transport.requests().at(0).header("Content-Type").isEmpty());
    const QJsonObject stored = storedSession();
    EXPECT_EQ(stored.value(QStringLiteral("expires_at")).toInteger(), expiresAt);
    EXPECT_EQ(stored.value(QStringLiteral("user")).toObject().value(QStringLiteral("id")).toString(),
              QStringLiteral("user-1"));
    EXPECT_EQ(taken(*events),
              (QStringList{QStringLiteral("SignedIn:access-1"), QStringLiteral("PasswordRecovery:access-1")}));
}

// Callback URLs that carry an error or nothing usable: no request, an error with the service's words.
struct FailedCallbackRow
{
    const char *name;
    const char *url;
    QString code;
    QString description;
};

// Rows print as their name (test names and failure messages).
void PrintTo(const FailedCallbackRow &row, std::ostream *out)
{
    *out << row.name;
}

class FailedCallback : public GoTrueClientTest, public ::testing::WithParamInterface<FailedCallbackRow>
{};

TEST_P(FailedCallback, FailsWithTheDescriptionItCarries)
{
    const FailedCallbackRow row = GetParam();

    const auto failure =
        failureOfType<IdentityServiceError>(client->completeFromCallbackUrl(QUrl(QString::fromUtf8(row.url))));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), row.code);
    EXPECT_EQ(failure->description(), row.description);
    EXPECT_TRUE(transport.requests().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Urls, FailedCallback,
    ::testing::Values(
        FailedCallbackRow{"fragmentOnly",
                          "wordloom://auth/confirm#error=access_denied&error_code=otp_expired"
                          "&error_description=Email+link+is+invalid+or+has+expired&sb=",
                          QStringLiteral("otp_expired"), QStringLiteral("Email link is invalid or has expired")},
        FailedCallbackRow{"queryWinsOverFragment",
                          "wordloom://auth/callback?error=access_denied&error_description=The%20user%20cancelled"
                          "#error=server_error&error_description=other",
                          QStringLiteral("access_denied"), QStringLiteral("The user cancelled")},
        FailedCallbackRow{"errorBesideACode", "wordloom://auth/callback?code=c1&error_description=Flow+expired",
                          QString(), QStringLiteral("Flow expired")},
        FailedCallbackRow{"codeWithoutVerifier", "wordloom://auth/callback?code=c1",
                          QStringLiteral("pkce_verifier_missing"),
                          QStringLiteral("This sign-in was not started here or has already been completed. "
                                         "Please start the sign-in again")},
        FailedCallbackRow{"nothingUsable", "wordloom://auth/callback?sb=#type=recovery",
                          QStringLiteral("invalid_callback"),
                          QStringLiteral("The sign-in link does not carry a sign-in result")},
        FailedCallbackRow{"tokensWithoutRefreshToken", "wordloom://auth/callback#access_token=a&expires_in=3600",
                          QStringLiteral("invalid_callback"),
                          QStringLiteral("The sign-in link does not carry a sign-in result")}),
    [](const auto &info) { return std::string(info.param.name); });

// A JSON Web Token whose payload has `exp`; header and signature are not looked at.
QString tokenExpiringAt(qint64 exp)
{
    const QByteArray payload = QStringLiteral(R"({"sub":"user-1","exp":%1})").arg(exp).toUtf8();
    return QStringLiteral("eyJhbGciOiJIUzI1NiJ9.") +
           QString::fromLatin1(payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)) +
           QStringLiteral(".c2ln");
}

TEST_F(Callback, InstallingAValidTokenAsksForItsUser)
{
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);
    const qint64 exp = nowSeconds() + 1800;
    const QString access = tokenExpiringAt(exp);
    transport.reply(200, R"({"id":"user-1"})");

    const AuthSession session = runTask(client->installSession(access, QStringLiteral("refresh-1")));

    EXPECT_EQ(session, (AuthSession{access, QStringLiteral("refresh-1")}));
    EXPECT_EQ(transport.pathOf(0), "/auth/v1/user");
    EXPECT_EQ(transport.requests().at(0).header("Authorization"), "Bearer " + access.toUtf8());
    EXPECT_EQ(storedSession().value(QStringLiteral("expires_at")).toInteger(), exp);
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedIn:") + access});
}

TEST_F(Callback, InstallingAnExpiredOrUnreadableTokenRenewsItAndSignsIn)
{
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);
    int request = 0;
    for (const QString &access : {tokenExpiringAt(nowSeconds() - 10), QStringLiteral("not-a-jwt")}) {
        transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));

        const AuthSession session = runTask(client->installSession(access, QStringLiteral("refresh-1")));

        EXPECT_EQ(session.accessToken, QStringLiteral("access-2"));
        EXPECT_EQ(transport.pathOf(request), "/auth/v1/token?grant_type=refresh_token");
        EXPECT_EQ(bodyOf(request).value(QStringLiteral("refresh_token")).toString(), QStringLiteral("refresh-1"));
        EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedIn:access-2")});
        ++request;
    }
}

TEST_F(Callback, ARejectedInstallKeepsNothing)
{
    transport.reply(403,
                    R"({"code":"session_not_found","message":"Session from session_id claim in JWT does not exist"})");

    const auto failure = failureOfType<IdentityServiceError>(
        client->installSession(tokenExpiringAt(nowSeconds() + 1800), QStringLiteral("refresh-1")));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), 403);
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

} // namespace
