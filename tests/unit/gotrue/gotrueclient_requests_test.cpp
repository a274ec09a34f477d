#include "auth/gotrue/identityserviceerror.h"
#include "auth/gotrue/pkcepair.h"
#include "gotrueclientfixture.h"

#include <QJsonArray>

#include <functional>

namespace {

using Requests = GoTrueClientTest;

const QUrl confirmUrl(QStringLiteral("wordloom://auth/confirm"));
const QUrl callbackUrl(QStringLiteral("wordloom://auth/callback"));
const QUrl recoveryUrl(QStringLiteral("wordloom://auth/recovery"));

QString storedVerifier(const MemorySessionStorage &storage)
{
    QString text = QString::fromUtf8(storage.items.value(GoTrueClientTest::verifierKey));
    return text.mid(1, text.size() - 2);
}

TEST_F(Requests, EveryRequestCarriesTheServiceHeaders)
{
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));

    runTask(client->passwordSignIn(QStringLiteral("a@b.test"), QStringLiteral("pw-123456")));

    const HttpRequest &request = transport.requests().at(0);
    EXPECT_EQ(request.url.toString(), QStringLiteral("https://abcdefghijklmnopqrst.supabase.co/auth/v1/token"
                                                     "?grant_type=password"));
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("apikey"), "anon-key");
    EXPECT_EQ(request.header("Authorization"), "Bearer anon-key");
    EXPECT_EQ(request.header("X-Supabase-Api-Version"), "2024-01-01");
    EXPECT_EQ(request.header("Content-Type"), "application/json;charset=UTF-8");
    EXPECT_FALSE(request.header("X-Client-Info").isEmpty());
    EXPECT_EQ(bodyOf(0), (QJsonObject{{QStringLiteral("email"), QStringLiteral("a@b.test")},
                                      {QStringLiteral("password"), QStringLiteral("pw-123456")},
                                      {QStringLiteral("gotrue_meta_security"),
                                       QJsonObject{{QStringLiteral("captcha_token"), QJsonValue::Null}}}}));
}

// One operation that only sends: what goes on the wire.
struct SendingRow
{
    const char *name;
    std::function<QCoro::Task<>(GoTrueClient &)> call;
    QByteArray path;
    QJsonObject body; // the fields that must be there, besides the PKCE pair
    bool pkce;
    bool recovery;
};

// Rows print as their name (test names and failure messages).
void PrintTo(const SendingRow &row, std::ostream *out)
{
    *out << row.name;
}

class Sending : public GoTrueClientTest, public ::testing::WithParamInterface<SendingRow>
{};

TEST_P(Sending, BuildsTheRequestAndStartsThePkceFlowFirst)
{
    const SendingRow row = GetParam();
    transport.reply(200, "{}");

    runTask(row.call(*client));

    ASSERT_EQ(transport.requests().size(), 1);
    EXPECT_EQ(transport.requests().at(0).method, "POST");
    EXPECT_EQ(transport.pathOf(0), row.path);
    const QJsonObject body = bodyOf(0);
    for (auto field = row.body.begin(); field != row.body.end(); ++field) {
        EXPECT_EQ(body.value(field.key()), field.value()) << field.key().toStdString();
    }
    EXPECT_EQ(storage.items.contains(verifierKey), row.pkce);
    if (row.pkce) {
        QString verifier = storedVerifier(storage);
        EXPECT_EQ(verifier.endsWith(QStringLiteral("/PASSWORD_RECOVERY")), row.recovery);
        verifier.remove(QStringLiteral("/PASSWORD_RECOVERY"));
        EXPECT_EQ(body.value(QStringLiteral("code_challenge")).toString(), PkcePair::challengeFor(verifier));
        EXPECT_EQ(body.value(QStringLiteral("code_challenge_method")).toString(), QStringLiteral("s256"));
        EXPECT_EQ(storage.calls.first(), QStringLiteral("store ") + verifierKey) << "stored before it is sent";
    } else {
        EXPECT_FALSE(body.contains(QStringLiteral("code_challenge")));
    }
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

const QString email = QStringLiteral("new@b.test");

INSTANTIATE_TEST_SUITE_P(
    Operations, Sending,
    ::testing::Values(
        SendingRow{
            "signUpWithMetadata",
            [](GoTrueClient &client) -> QCoro::Task<> {
                QCoro::Task<std::optional<AuthSession>> creating = client.createAccount(
                    email, QStringLiteral("pw-123456"),
                    QJsonObject{{QStringLiteral("full_name"), QStringLiteral("Ada L")}}, confirmUrl);
                const auto session = co_await std::move(creating);
                EXPECT_FALSE(session) << "an unconfirmed account has no session";
            },
            "/auth/v1/signup?redirect_to=wordloom%3A%2F%2Fauth%2Fconfirm",
            QJsonObject{{QStringLiteral("email"), email},
                        {QStringLiteral("password"), QStringLiteral("pw-123456")},
                        {QStringLiteral("data"), QJsonObject{{QStringLiteral("full_name"), QStringLiteral("Ada L")}}}},
            true, false},
        SendingRow{"emailCode", [](GoTrueClient &client) { return client.requestEmailCode(email, callbackUrl, false); },
                   "/auth/v1/otp?redirect_to=wordloom%3A%2F%2Fauth%2Fcallback",
                   QJsonObject{{QStringLiteral("email"), email}, {QStringLiteral("create_user"), false}}, true, false},
        SendingRow{"emailCodeCreatingUser",
                   [](GoTrueClient &client) { return client.requestEmailCode(email, callbackUrl, true); },
                   "/auth/v1/otp?redirect_to=wordloom%3A%2F%2Fauth%2Fcallback",
                   QJsonObject{{QStringLiteral("create_user"), true}}, true, false},
        SendingRow{"resend", [](GoTrueClient &client) { return client.resendSignUpEmail(email, confirmUrl); },
                   "/auth/v1/resend?redirect_to=wordloom%3A%2F%2Fauth%2Fconfirm",
                   QJsonObject{{QStringLiteral("email"), email}, {QStringLiteral("type"), QStringLiteral("signup")}},
                   false, false},
        SendingRow{"passwordReset",
                   [](GoTrueClient &client) { return client.requestPasswordReset(email, recoveryUrl); },
                   "/auth/v1/recover?redirect_to=wordloom%3A%2F%2Fauth%2Frecovery",
                   QJsonObject{{QStringLiteral("email"), email}}, true, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Requests, SignUpWithoutMetadataSendsNoData)
{
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);

    const auto session = runTask(client->createAccount(email, QStringLiteral("pw-123456"), std::nullopt, confirmUrl));

    EXPECT_FALSE(bodyOf(0).contains(QStringLiteral("data")));
    ASSERT_TRUE(session) << "a confirmed account signs in at once";
    EXPECT_EQ(session->accessToken, QStringLiteral("access-1"));
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedIn:access-1")});
}

// Verifications: the body of each kind and type, and what the program is told afterwards.
struct VerifyRow
{
    const char *name;
    EmailOtpType type;
    bool byHash;
    QString typeName;
    QStringList events;
};

// Rows print as their name (test names and failure messages).
void PrintTo(const VerifyRow &row, std::ostream *out)
{
    *out << row.name;
}

class Verifying : public GoTrueClientTest, public ::testing::WithParamInterface<VerifyRow>
{};

TEST_P(Verifying, SignsInAndAnnouncesRecovery)
{
    const VerifyRow row = GetParam();
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));

    const auto session = row.byHash ? runTask(client->verifyLinkToken(QStringLiteral("hash-1"), row.type))
                                    : runTask(client->verifyEmailCode(email, QStringLiteral("12345678"), row.type));

    EXPECT_EQ(transport.pathOf(0), "/auth/v1/verify");
    const QJsonObject expected = row.byHash ? QJsonObject{{QStringLiteral("token_hash"), QStringLiteral("hash-1")},
                                                          {QStringLiteral("type"), row.typeName}}
                                            : QJsonObject{{QStringLiteral("email"), email},
                                                          {QStringLiteral("token"), QStringLiteral("12345678")},
                                                          {QStringLiteral("type"), row.typeName}};
    EXPECT_EQ(bodyOf(0), expected);
    ASSERT_TRUE(session);
    EXPECT_EQ(taken(*events), row.events);
    EXPECT_EQ(storedSession().value(QStringLiteral("access_token")).toString(), QStringLiteral("access-1"));
}

const QStringList signedIn{QStringLiteral("SignedIn:access-1")};
const QStringList recovering{QStringLiteral("SignedIn:access-1"), QStringLiteral("PasswordRecovery:access-1")};

INSTANTIATE_TEST_SUITE_P(
    Types, Verifying,
    ::testing::Values(VerifyRow{"codeSignup", EmailOtpType::Signup, false, QStringLiteral("signup"), signedIn},
                      VerifyRow{"codeMagiclink", EmailOtpType::Magiclink, false, QStringLiteral("magiclink"), signedIn},
                      VerifyRow{"codeRecovery", EmailOtpType::Recovery, false, QStringLiteral("recovery"), recovering},
                      VerifyRow{"codeEmail", EmailOtpType::Email, false, QStringLiteral("email"), signedIn},
                      VerifyRow{"hashInvite", EmailOtpType::Invite, true, QStringLiteral("invite"), signedIn},
                      VerifyRow{"hashEmailChange", EmailOtpType::EmailChange, true, QStringLiteral("email_change"),
                                signedIn},
                      VerifyRow{"hashRecovery", EmailOtpType::Recovery, true, QStringLiteral("recovery"), recovering}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Requests, VerificationWithoutSessionInTheAnswerChangesNothing)
{
    transport.reply(200, R"({"msg":"Confirmation link accepted","code":"200"})");

    EXPECT_FALSE(runTask(client->verifyLinkToken(QStringLiteral("hash-1"), EmailOtpType::EmailChange)));
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

TEST_F(Requests, ChangingThePasswordActsForTheUserAndUpdatesTheStoredUser)
{
    auto events = startSignedIn();
    transport.reply(200, R"({"id":"user-1","email":"a@b.test","updated_at":"later"})");

    runTask(client->changePassword(QStringLiteral("new-password")));

    const HttpRequest &request = transport.requests().at(0);
    EXPECT_EQ(request.method, "PUT");
    EXPECT_EQ(transport.pathOf(0), "/auth/v1/user");
    EXPECT_EQ(request.header("Authorization"), "Bearer access-1");
    EXPECT_EQ(bodyOf(0), (QJsonObject{{QStringLiteral("password"), QStringLiteral("new-password")}}));
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("UserUpdated:access-1")});
    EXPECT_EQ(storedSession().value(QStringLiteral("user")).toObject().value(QStringLiteral("updated_at")).toString(),
              QStringLiteral("later"));
}

TEST_F(Requests, ChangingThePasswordRenewsAnExpiringTokenFirst)
{
    // Not started, so no automatic refresh gets there first.
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1"), 100));
    transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));
    transport.reply(200, R"({"id":"user-1"})");
    runTask(client->passwordSignIn(email, QStringLiteral("pw-123456")));

    runTask(client->changePassword(QStringLiteral("new-password")));

    ASSERT_EQ(transport.requests().size(), 3);
    EXPECT_EQ(transport.pathOf(1), "/auth/v1/token?grant_type=refresh_token");
    EXPECT_EQ(transport.requests().at(2).header("Authorization"), "Bearer access-2");
}

TEST_F(Requests, ChangingThePasswordNeedsASession)
{
    runTask(client->start());

    const auto failure = failureOfType<IdentityServiceError>(client->changePassword(QStringLiteral("new-password")));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), QStringLiteral("session_missing"));
    EXPECT_TRUE(transport.requests().isEmpty());
}

// The three error body shapes of the service (and a body that is not JSON), as seen by a sign-in.
struct ErrorShapeRow
{
    const char *name;
    int status;
    QByteArray body;
    QString code;
    QString description;
};

// Rows print as their name (test names and failure messages).
void PrintTo(const ErrorShapeRow &row, std::ostream *out)
{
    *out << row.name;
}

class ErrorShapes : public GoTrueClientTest, public ::testing::WithParamInterface<ErrorShapeRow>
{};

TEST_P(ErrorShapes, BecomeOneErrorWithTheServiceMessage)
{
    const ErrorShapeRow row = GetParam();
    transport.reply(row.status, row.body);

    const auto failure = failureOfType<IdentityServiceError>(
        client->passwordSignIn(QStringLiteral("a@b.test"), QStringLiteral("wrong-password")));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status(), row.status);
    EXPECT_EQ(failure->code(), row.code);
    EXPECT_EQ(failure->description(), row.description);
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ErrorShapes,
    ::testing::Values(ErrorShapeRow{"versioned", 400,
                                    R"({"code":"invalid_credentials","message":"Invalid login credentials"})",
                                    QStringLiteral("invalid_credentials"), QStringLiteral("Invalid login credentials")},
                      ErrorShapeRow{"unversioned", 400,
                                    R"({"code":400,"error_code":"email_not_confirmed","msg":"Email not confirmed"})",
                                    QStringLiteral("email_not_confirmed"), QStringLiteral("Email not confirmed")},
                      ErrorShapeRow{"oauthStyle", 400,
                                    R"({"error":"invalid_grant","error_description":"Invalid login credentials"})",
                                    QStringLiteral("invalid_grant"), QStringLiteral("Invalid login credentials")},
                      ErrorShapeRow{"noMessage", 429, R"({"code":429})", QString(), QStringLiteral(R"({"code":429})")},
                      ErrorShapeRow{"notJson", 502, "<html>Bad Gateway</html>", QString(),
                                    QStringLiteral("The identity service failed with status 502")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Requests, WeakPasswordErrorsKeepTheirReasons)
{
    transport.reply(422, R"({"code":422,"error_code":"weak_password","msg":"Password should be at least 6 characters.",
                             "weak_password":{"reasons":["length","pwned"]}})");

    const auto failure = failureOfType<IdentityServiceError>(
        client->createAccount(email, QStringLiteral("pw"), std::nullopt, confirmUrl));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), QStringLiteral("weak_password"));
    EXPECT_EQ(failure->weakPasswordReasons(), (QStringList{QStringLiteral("length"), QStringLiteral("pwned")}));
}

TEST_F(Requests, TransportAndStorageFailuresPassThrough)
{
    transport.fail(TransportError::Kind::TimedOut);
    const auto timeout = failureOfType<TransportError>(client->passwordSignIn(email, QStringLiteral("pw-123456")));
    ASSERT_TRUE(timeout);
    EXPECT_EQ(timeout->kind(), TransportError::Kind::TimedOut);

    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);
    storage.storeFails = true;
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));
    EXPECT_TRUE(failureOfType<StorageFailure>(client->passwordSignIn(email, QStringLiteral("pw-123456"))));
    EXPECT_TRUE(taken(*events).isEmpty()) << "a session that could not be kept is not announced";
}

TEST_F(Requests, ASignInAnswerWithoutSessionIsAnError)
{
    transport.reply(200, R"({"id":"user-1"})");

    const auto failure =
        failureOfType<IdentityServiceError>(client->passwordSignIn(email, QStringLiteral("pw-123456")));

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), QStringLiteral("invalid_response"));
}

} // namespace
