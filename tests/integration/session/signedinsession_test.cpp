#include "../gotrue/wordloomserverprocess.h"

#include "auth/authservice.h"
#include "auth/gotrue/gotrueclient.h"
#include "auth/keychainauthstorage.h"
#include "auth/supabasemanager.h"
#include "backend/apiclient.h"
#include "backend/appstate.h"
#include "backend/promptservice.h"
#include "fakes/fakewebauthsession.h"
#include "platform/linux/secretservicekeychain.h"
#include "platform/qtnetwork/qnetworkhttptransport.h"
#include "runtime/logger.h"
#include "runtime/qtscheduler.h"
#include "support/qtprinters.h"
#include "support/taskoutcome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QUuid>

namespace {

const QString email = QStringLiteral("ada@example.com");
const QString password = QStringLiteral("correct horse battery");

// Everything one run of the program builds for its session, over one keychain service name.
struct ProgramSession
{
    explicit ProgramSession(const QString &origin, const QString &keychainService)
        : storage(keychainService, keychain)
        , client(QUrl(origin), QStringLiteral("local-anon-key"), transport, storage, scheduler)
        , api(origin, transport, client)
        , prompts(api, state)
        , manager(client, api, state, prompts, webAuth)
        , auth(client, state, api, keychain)
    {
        manager.startAuthListener();
        runTask(client.start());
    }

    QtScheduler scheduler;
    QNetworkHttpTransport transport;
    SecretServiceKeychain keychain;
    KeychainAuthStorage storage;
    GoTrueClient client;
    AppState state{scheduler};
    APIClient api;
    PromptService prompts;
    FakeWebAuthSession webAuth;
    SupabaseManager manager;
    AuthService auth;
};

// Runs the event loop until `condition` holds or ten seconds have passed.
bool eventually(const std::function<bool()> &condition)
{
    QDeadlineTimer deadline(10000);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return condition();
}

class SignedInSession : public ::testing::Test
{
protected:
    WordloomServerProcess server{
        {QStringLiteral("--seed-user"), email + QLatin1Char(':') + password, QStringLiteral("--initial-credits"),
         QStringLiteral("40")}};
    // A keychain service of this test's own, so runs never see each other's sessions.
    const QString keychainService = QStringLiteral("lumora.test.") + QUuid::createUuid().toString(QUuid::Id128);
    CapturedLog log;
};

TEST_F(SignedInSession, PasswordSignInLoadsProfileAndCreditsAndSurvivesARestart)
{
    {
        ProgramSession first(server.origin(), keychainService);
        EXPECT_FALSE(first.state.isAuthenticated());

        runTask(first.auth.signIn(email, password));

        ASSERT_TRUE(eventually([&] { return first.state.isAuthenticated() && first.state.credits() == 40; }));
        EXPECT_EQ(first.state.user()->email, email);
    }

    ProgramSession second(server.origin(), keychainService);

    ASSERT_TRUE(eventually([&] { return second.state.isAuthenticated(); }));
    EXPECT_EQ(second.state.user()->email, email);
    EXPECT_FALSE(second.api.accessToken().isEmpty());
    runTask(second.auth.signOut());
}

TEST_F(SignedInSession, RefusedTokenIsRenewedOnceAndTheRequestRepeated)
{
    ProgramSession program(server.origin(), keychainService);
    runTask(program.auth.signIn(email, password));
    ASSERT_TRUE(eventually([&] { return program.state.isAuthenticated(); }));

    // A token the backend refuses, as one revoked or expired behind the client's back would be.
    program.api.setAccessToken(QStringLiteral("not-a-valid-token"));
    const CreditsResponse credits = runTask(program.prompts.fetchCredits());

    EXPECT_EQ(credits.remainingCredits, 40);
    EXPECT_FALSE(program.api.accessToken().isEmpty());
    EXPECT_NE(program.api.accessToken(), QStringLiteral("not-a-valid-token"));
    EXPECT_TRUE(log.contains(u"[SupabaseManager] Token refreshed successfully"));
    EXPECT_FALSE(log.contains(u"Token refresh failed"));
    runTask(program.auth.signOut());
}

TEST_F(SignedInSession, SignOutClearsTheStateAndTheStoredSession)
{
    {
        ProgramSession program(server.origin(), keychainService);
        runTask(program.auth.signIn(email, password));
        ASSERT_TRUE(eventually([&] { return program.state.isAuthenticated(); }));

        runTask(program.auth.signOut());

        EXPECT_TRUE(eventually([&] { return !program.state.isAuthenticated(); }));
        EXPECT_TRUE(program.api.accessToken().isEmpty());
        EXPECT_EQ(failureDescription(program.prompts.fetchCredits()), QStringLiteral("Please sign in to continue"));
    }

    ProgramSession restarted(server.origin(), keychainService);
    QCoreApplication::processEvents();
    EXPECT_FALSE(restarted.manager.isAuthenticated());
    EXPECT_TRUE(log.contains(u"[SupabaseManager] Auth event: signedOut"));
}

} // namespace
