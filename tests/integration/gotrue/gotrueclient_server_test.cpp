#include "auth/gotrue/gotrueclient.h"
#include "auth/gotrue/identityserviceerror.h"
#include "fakes/memorysessionstorage.h"
#include "platform/qtnetwork/qnetworkhttptransport.h"
#include "runtime/manualscheduler.h"
#include "support/autheventname.h"
#include "support/taskoutcome.h"
#include "wordloomserverprocess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace {

const QUrl confirmUrl(QStringLiteral("wordloom://auth/confirm"));
const QUrl callbackUrl(QStringLiteral("wordloom://auth/callback"));
const QUrl recoveryUrl(QStringLiteral("wordloom://auth/recovery"));
const QString password = QStringLiteral("correct-horse-1");

// The events waiting in `stream`, by name; "+" marks one with a session.
QStringList taken(AuthEventStream &stream)
{
    QStringList seen;
    for (const AuthStateChange &change : pendingChanges(stream)) {
        seen.append(eventName(change.event) + (change.session ? QStringLiteral("+") : QString()));
    }
    return seen;
}

// One GoTrueClient over the real transport, its storage and its event subscription.
struct Installation
{
    Installation(const QString &origin, MemorySessionStorage &storage, Scheduler &scheduler)
        : client(QUrl(origin), QStringLiteral("local-anon-key"), transport, storage, scheduler)
    {
        events = client.authEvents();
        runTask(client.start());
    }

    QNetworkHttpTransport transport;
    GoTrueClient client;
    std::shared_ptr<AuthEventStream> events;
};

class GoTrueServer : public ::testing::Test
{
protected:
    // Started by each test with the flags it needs.
    std::unique_ptr<WordloomServerProcess> server;
    MemorySessionStorage storage;
    ManualScheduler scheduler{QDateTime::currentDateTimeUtc()};
    std::unique_ptr<Installation> app;

    void startServer(QStringList flags = {})
    {
        server = std::make_unique<WordloomServerProcess>(std::move(flags));
        ASSERT_FALSE(server->origin().isEmpty());
        app = std::make_unique<Installation>(server->origin(), storage, scheduler);
        ASSERT_EQ(taken(*app->events), QStringList{QStringLiteral("InitialSession")});
    }

    void TearDown() override
    {
        // The client and its transport go before the server.
        app.reset();
        server.reset();
    }

    GoTrueClient &client() { return app->client; }
    QStringList events() { return taken(*app->events); }

    AuthSession signUp(const QString &email)
    {
        const auto session = runTask(client().createAccount(email, password, std::nullopt, confirmUrl));
        EXPECT_TRUE(session);
        return session.value_or(AuthSession{});
    }
};

TEST_F(GoTrueServer, PasswordAccountLifecycle)
{
    startServer({QStringLiteral("--confirm-email"), QStringLiteral("off")});
    const QString email = QStringLiteral("ada@example.com");

    const auto created = runTask(client().createAccount(
        email, password, QJsonObject{{QStringLiteral("full_name"), QStringLiteral("Ada")}}, confirmUrl));
    ASSERT_TRUE(created) << "without confirmation an account signs in at once";

    const auto wrong = failureOfType<IdentityServiceError>(client().passwordSignIn(email, QStringLiteral("nope-nope")));
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status(), 400);
    EXPECT_EQ(wrong->code(), QStringLiteral("invalid_credentials"));
    EXPECT_EQ(wrong->description(), QStringLiteral("Invalid login credentials"));

    const AuthSession signedIn = runTask(client().passwordSignIn(email, password));
    runTask(client().changePassword(QStringLiteral("battery-staple-2")));
    const auto same = failureOfType<IdentityServiceError>(client().changePassword(QStringLiteral("battery-staple-2")));
    ASSERT_TRUE(same);
    EXPECT_EQ(same->code(), QStringLiteral("same_password"));
    const AuthSession renewed = runTask(client().renewSession());
    EXPECT_NE(renewed.refreshToken, signedIn.refreshToken);

    EXPECT_EQ(events(), (QStringList{QStringLiteral("SignedIn+"), QStringLiteral("SignedIn+"),
                                     QStringLiteral("UserUpdated+"), QStringLiteral("TokenRefreshed+")}));
    EXPECT_EQ(runTask(client().passwordSignIn(email, QStringLiteral("battery-staple-2"))).accessToken.isEmpty(), false);
    events();

    // A second installation holding the same session, to try the refresh token after the sign-out.
    MemorySessionStorage copy;
    copy.items = storage.items;
    runTask(client().signOutGlobally());
    EXPECT_EQ(events(), QStringList{QStringLiteral("SignedOut")});
    EXPECT_TRUE(storage.items.isEmpty());

    Installation other(server->origin(), copy, scheduler);
    EXPECT_EQ(taken(*other.events), QStringList{QStringLiteral("InitialSession+")});
    const auto revoked = failureOfType<IdentityServiceError>(other.client.renewSession());
    ASSERT_TRUE(revoked);
    EXPECT_EQ(revoked->status(), 400);
    EXPECT_EQ(taken(*other.events), QStringList{QStringLiteral("SignedOut")});
}

TEST_F(GoTrueServer, ConfirmationCodeAndResend)
{
    startServer({QStringLiteral("--confirm-email"), QStringLiteral("on")});
    const QString email = QStringLiteral("grace@example.com");

    EXPECT_FALSE(runTask(client().createAccount(email, password, std::nullopt, confirmUrl)));
    const auto early = failureOfType<IdentityServiceError>(client().resendSignUpEmail(email, confirmUrl));
    ASSERT_TRUE(early);
    EXPECT_EQ(early->status(), 429);
    EXPECT_EQ(early->code(), QStringLiteral("over_email_send_rate_limit"));
    runTask(client().resendSignUpEmail(QStringLiteral("nobody@example.com"), confirmUrl));

    const QString code = server->lastMail(email).value(QStringLiteral("code")).toString();
    const auto wrong = failureOfType<IdentityServiceError>(
        client().verifyEmailCode(email, QStringLiteral("00000000"), EmailOtpType::Signup));
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->code(), QStringLiteral("otp_expired"));
    EXPECT_TRUE(runTask(client().verifyEmailCode(email, code, EmailOtpType::Signup)));

    EXPECT_EQ(events(), QStringList{QStringLiteral("SignedIn+")});
    EXPECT_FALSE(runTask(client().passwordSignIn(email, password)).accessToken.isEmpty());
}

TEST_F(GoTrueServer, ConfirmationLinkCompletesThroughThePkceCode)
{
    startServer({QStringLiteral("--confirm-email"), QStringLiteral("on")});
    const QString email = QStringLiteral("linus@example.com");
    EXPECT_FALSE(runTask(client().createAccount(email, password, std::nullopt, confirmUrl)));

    const QUrl link(server->lastMail(email).value(QStringLiteral("link")).toString());
    const QUrl callback(server->redirectOf(link));
    ASSERT_TRUE(callback.toString().startsWith(QStringLiteral("wordloom://auth/confirm?code=")));

    runTask(client().completeFromCallbackUrl(callback));

    EXPECT_EQ(events(), QStringList{QStringLiteral("SignedIn+")});
    EXPECT_FALSE(storage.items.contains(client().verifierStorageKey()));
}

TEST_F(GoTrueServer, EmailCodeSignIn)
{
    startServer({QStringLiteral("--seed-user"), QStringLiteral("seed@example.com:") + password});
    const QString email = QStringLiteral("seed@example.com");

    const auto unknown = failureOfType<IdentityServiceError>(
        client().requestEmailCode(QStringLiteral("stranger@example.com"), callbackUrl, false));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->code(), QStringLiteral("otp_disabled"));

    runTask(client().requestEmailCode(email, callbackUrl, false));
    const QString code = server->lastMail(email).value(QStringLiteral("code")).toString();
    EXPECT_TRUE(runTask(client().verifyEmailCode(email, code, EmailOtpType::Magiclink)));

    EXPECT_EQ(events(), QStringList{QStringLiteral("SignedIn+")});
}

TEST_F(GoTrueServer, PasswordResetByTokenHashAndByLink)
{
    startServer({QStringLiteral("--confirm-email"), QStringLiteral("off")});
    const QString first = QStringLiteral("reset-hash@example.com");
    const QString second = QStringLiteral("reset-link@example.com");
    signUp(first);
    signUp(second);
    runTask(client().signOutGlobally());
    events();

    runTask(client().requestPasswordReset(first, recoveryUrl));
    const QString tokenHash = server->lastMail(first).value(QStringLiteral("token_hash")).toString();
    EXPECT_TRUE(runTask(client().verifyLinkToken(tokenHash, EmailOtpType::Recovery)));
    EXPECT_EQ(events(), (QStringList{QStringLiteral("SignedIn+"), QStringLiteral("PasswordRecovery+")}));

    runTask(client().requestPasswordReset(second, recoveryUrl));
    const QUrl callback(server->redirectOf(QUrl(server->lastMail(second).value(QStringLiteral("link")).toString())));
    runTask(client().completeFromCallbackUrl(callback));
    EXPECT_EQ(events(), (QStringList{QStringLiteral("SignedIn+"), QStringLiteral("PasswordRecovery+")}));
    runTask(client().changePassword(QStringLiteral("a-new-password")));
    EXPECT_EQ(events(), QStringList{QStringLiteral("UserUpdated+")});
}

// Follows the stand-in provider's consent page the way a user in the browser would.
QString consentAnswer(WordloomServerProcess &server, const QUrl &signInUrl, const std::string &action)
{
    const QUrl consentPage(server.redirectOf(signInUrl));
    const auto page = server.browser().Get(
        consentPage.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::FullyEncoded).toStdString());
    if (!page || page->status != 200) {
        ADD_FAILURE() << "no consent page";
        return {};
    }
    const auto state = QRegularExpression(QStringLiteral("name=\"state\" value=\"([^\"]+)\""))
                           .match(QString::fromStdString(page->body))
                           .captured(1);
    const auto form = QRegularExpression(QStringLiteral("<form method=\"post\" action=\"([^\"]+)\""))
                          .match(QString::fromStdString(page->body))
                          .captured(1);
    const auto answer = server.browser().Post(
        form.toStdString(),
        httplib::Params{{"state", state.toStdString()}, {"email", "provider.user@example.com"}, {"action", action}});
    if (!answer || answer->status != 302) {
        ADD_FAILURE() << "the consent form did not redirect";
        return {};
    }
    return QString::fromStdString(answer->get_header_value("Location"));
}

TEST_F(GoTrueServer, ProviderSignInThroughTheConsentPage)
{
    startServer();

    const QUrl signInUrl = runTask(client().providerSignInUrl(SignInProvider::Google, callbackUrl));
    const QUrl callback(consentAnswer(*server, signInUrl, "continue"));
    ASSERT_TRUE(callback.toString().startsWith(QStringLiteral("wordloom://auth/callback?code=")));
    const AuthSession session = runTask(client().completeFromCallbackUrl(callback));

    EXPECT_FALSE(session.accessToken.isEmpty());
    EXPECT_EQ(events(), QStringList{QStringLiteral("SignedIn+")});

    const QUrl appleUrl = runTask(client().providerSignInUrl(SignInProvider::Apple, callbackUrl));
    const QUrl cancelled(consentAnswer(*server, appleUrl, "cancel"));
    const auto failure = failureOfType<IdentityServiceError>(client().completeFromCallbackUrl(cancelled));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->description(), QStringLiteral("The user cancelled the sign-in"));
}

TEST_F(GoTrueServer, TokensFromAFragmentAndInstalledTokens)
{
    startServer({QStringLiteral("--confirm-email"), QStringLiteral("off")});
    const AuthSession original = signUp(QStringLiteral("tokens@example.com"));
    events();

    // Legacy tokens handed to a fresh installation.
    MemorySessionStorage otherStorage;
    Installation other(server->origin(), otherStorage, scheduler);
    taken(*other.events);
    const AuthSession installed = runTask(other.client.installSession(original.accessToken, original.refreshToken));
    EXPECT_EQ(installed, original);
    EXPECT_EQ(taken(*other.events), QStringList{QStringLiteral("SignedIn+")});
    EXPECT_TRUE(otherStorage.items.contains(other.client.sessionStorageKey()));

    // The same tokens arriving in the fragment of a callback.
    const QUrl callback(
        QStringLiteral(
            "wordloom://auth/callback#access_token=%1&expires_in=3600&refresh_token=%2&sb=&token_type=bearer")
            .arg(original.accessToken, original.refreshToken));
    runTask(client().completeFromCallbackUrl(callback));
    EXPECT_EQ(events(), QStringList{QStringLiteral("SignedIn+")});

    const auto bogus = failureOfType<IdentityServiceError>(
        client().installSession(original.accessToken + QStringLiteral("x"), original.refreshToken));
    ASSERT_TRUE(bogus);
    EXPECT_EQ(bogus->status(), 403);
}

TEST_F(GoTrueServer, StoredSessionSurvivesANewClient)
{
    startServer({QStringLiteral("--confirm-email"), QStringLiteral("off")});
    const AuthSession session = signUp(QStringLiteral("restart@example.com"));
    app.reset();

    app = std::make_unique<Installation>(server->origin(), storage, scheduler);
    ASSERT_EQ(events(), QStringList{QStringLiteral("InitialSession+")});
    runTask(app->client.changePassword(QStringLiteral("after-restart-1")));
    EXPECT_EQ(events(), QStringList{QStringLiteral("UserUpdated+")});
    EXPECT_NE(runTask(app->client.renewSession()).refreshToken, session.refreshToken);
}

TEST_F(GoTrueServer, RefreshesAutomaticallyBeforeTheTokenExpires)
{
    startServer({QStringLiteral("--confirm-email"), QStringLiteral("off"), QStringLiteral("--jwt-expiry"),
                 QStringLiteral("160")});
    const AuthSession first = signUp(QStringLiteral("short@example.com"));
    events();

    scheduler.advance(30); // about 130 s left: not yet
    QCoreApplication::processEvents();
    EXPECT_TRUE(events().isEmpty());

    scheduler.advance(30); // about 100 s left
    QStringList seen;
    const QDeadlineTimer patience(20000);
    while (seen.isEmpty() && !patience.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
        seen = events();
    }
    EXPECT_EQ(seen, QStringList{QStringLiteral("TokenRefreshed+")});
    EXPECT_NE(runTask(client().renewSession()).refreshToken, first.refreshToken);
}

} // namespace
