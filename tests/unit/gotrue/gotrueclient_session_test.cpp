#include "auth/gotrue/identityserviceerror.h"
#include "gotrueclientfixture.h"
#include "heldhttptransport.h"

namespace {

QStringList diagnostics;

void keepDiagnostic(QtMsgType, const QMessageLogContext &, const QString &message)
{
    diagnostics.append(message);
}

const QByteArray refusedBody =
    R"({"code":"refresh_token_already_used","message":"Invalid Refresh Token: Already Used"})";

using Session = GoTrueClientTest;

TEST_F(Session, StartsWithoutStoredSessionAndGreetsEverySubscriberFirst)
{
    auto early = client->authEvents();
    EXPECT_TRUE(taken(*early).isEmpty()) << "no InitialSession before the store was read";

    runTask(client->start());
    auto late = client->authEvents();

    EXPECT_EQ(taken(*early), QStringList{QStringLiteral("InitialSession:-")});
    EXPECT_EQ(taken(*late), QStringList{QStringLiteral("InitialSession:-")});
    EXPECT_TRUE(transport.requests().isEmpty());
}

TEST_F(Session, RestoresAValidStoredSessionWithoutAsking)
{
    storeSession(QStringLiteral("access-1"), QStringLiteral("refresh-1"), 600);
    auto events = client->authEvents();

    runTask(client->start());

    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("InitialSession:access-1")});
    EXPECT_TRUE(transport.requests().isEmpty());
}

TEST_F(Session, RenewsAnExpiringStoredSessionBeforeTheInitialEvent)
{
    storeSession(QStringLiteral("access-1"), QStringLiteral("refresh-1"), 60);
    transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));
    auto events = client->authEvents();

    runTask(client->start());

    ASSERT_EQ(transport.requests().size(), 1);
    EXPECT_EQ(transport.pathOf(0), "/auth/v1/token?grant_type=refresh_token");
    EXPECT_EQ(bodyOf(0), (QJsonObject{{QStringLiteral("refresh_token"), QStringLiteral("refresh-1")}}));
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("InitialSession:access-2")});
    EXPECT_EQ(storedSession().value(QStringLiteral("refresh_token")).toString(), QStringLiteral("refresh-2"));
}

// What a failed renewal at start does to an expired stored session.
struct FailedRestoreRow
{
    const char *name;
    int status; // 0: no connection
    QByteArray body;
    bool kept;
};

// Rows print as their name (test names and failure messages).
void PrintTo(const FailedRestoreRow &row, std::ostream *out)
{
    *out << row.name;
}

class FailedRestore : public GoTrueClientTest, public ::testing::WithParamInterface<FailedRestoreRow>
{};

TEST_P(FailedRestore, RemovesTheSessionOnlyWhenTheServiceRefusesIt)
{
    const FailedRestoreRow row = GetParam();
    storeSession(QStringLiteral("access-1"), QStringLiteral("refresh-1"), -30);
    if (row.status == 0) {
        transport.fail(TransportError::Kind::CannotConnect);
    } else {
        transport.reply(row.status, row.body);
    }
    auto events = client->authEvents();

    runTask(client->start());

    EXPECT_EQ(taken(*events),
              QStringList{row.kept ? QStringLiteral("InitialSession:access-1") : QStringLiteral("InitialSession:-")});
    EXPECT_EQ(storage.items.contains(sessionKey), row.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FailedRestore,
    ::testing::Values(FailedRestoreRow{"refused", 400, refusedBody, false},
                      FailedRestoreRow{"unknownToken", 400,
                                       R"({"code":400,"error_code":"refresh_token_not_found","msg":"gone"})", false},
                      FailedRestoreRow{"offline", 0, {}, true},
                      FailedRestoreRow{"serverError", 503, "Service Unavailable", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Session, DropsAnUnusableStoredValue)
{
    storage.items.insert(sessionKey, R"({"access_token":"only-this"})");
    auto events = client->authEvents();

    runTask(client->start());

    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("InitialSession:-")});
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

TEST_F(Session, AnUnreadableStoreCountsAsSignedOut)
{
    storage.retrieveFails = true;
    auto events = client->authEvents();

    runTask(client->start());

    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("InitialSession:-")});
}

TEST_F(Session, RefreshesAutomaticallyOnceLessThanTwoMinutesRemain)
{
    auto events = startSignedIn(QStringLiteral("access-1"), QStringLiteral("refresh-1"), 200);
    transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));

    scheduler.advance(60); // 140 s left at the second check
    EXPECT_TRUE(transport.requests().isEmpty());

    scheduler.advance(30); // 110 s left
    ASSERT_EQ(transport.requests().size(), 1);
    EXPECT_EQ(bodyOf(0).value(QStringLiteral("refresh_token")).toString(), QStringLiteral("refresh-1"));
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("TokenRefreshed:access-2")});
    EXPECT_EQ(storedSession().value(QStringLiteral("access_token")).toString(), QStringLiteral("access-2"));

    scheduler.advance(600); // the new session has an hour
    EXPECT_EQ(transport.requests().size(), 1);
}

TEST_F(Session, AutomaticRefreshKeepsTheSessionWhileOfflineAndEndsItWhenRefused)
{
    auto events = startSignedIn(QStringLiteral("access-1"), QStringLiteral("refresh-1"), 130);
    transport.fail(TransportError::Kind::CannotConnect);
    scheduler.advance(30);
    EXPECT_TRUE(taken(*events).isEmpty());
    EXPECT_TRUE(storage.items.contains(sessionKey));

    transport.reply(400, refusedBody);
    scheduler.advance(30);

    EXPECT_EQ(transport.requests().size(), 2);
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedOut:-")});
    EXPECT_FALSE(storage.items.contains(sessionKey));
    scheduler.advance(120);
    EXPECT_EQ(transport.requests().size(), 2) << "nothing left to refresh";
}

TEST_F(Session, RenewalAnnouncesTheNewTokenBeforeItReturns)
{
    auto events = startSignedIn();
    transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));
    QStringList seenOnReturn;
    auto renewAndLook = [&]() -> QCoro::Task<AuthSession> {
        QCoro::Task<AuthSession> renewing = client->renewSession();
        AuthSession session = co_await std::move(renewing);
        seenOnReturn = taken(*events);
        co_return session;
    };

    const AuthSession renewed = runTask(renewAndLook());

    EXPECT_EQ(renewed.accessToken, QStringLiteral("access-2"));
    EXPECT_EQ(renewed.refreshToken, QStringLiteral("refresh-2"));
    EXPECT_EQ(seenOnReturn, QStringList{QStringLiteral("TokenRefreshed:access-2")});
}

TEST_F(Session, RenewalWithoutSessionFailsWithoutAsking)
{
    runTask(client->start());

    const auto failure = failureOfType<IdentityServiceError>(client->renewSession());

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), QStringLiteral("session_missing"));
    EXPECT_TRUE(transport.requests().isEmpty());
}

TEST_F(Session, RefusedRenewalSignsOut)
{
    auto events = startSignedIn();
    transport.reply(400, refusedBody);

    EXPECT_TRUE(failureOfType<IdentityServiceError>(client->renewSession()));

    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedOut:-")});
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

TEST_F(Session, RenewalThatCannotBeStoredStillHandsOutTheNewToken)
{
    auto events = startSignedIn();
    transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));
    storage.storeFails = true;

    EXPECT_EQ(runTask(client->renewSession()).accessToken, QStringLiteral("access-2"));
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("TokenRefreshed:access-2")});
}

TEST_F(Session, EverySubscriberSeesTheSameChangesInOrder)
{
    auto first = client->authEvents();
    runTask(client->start());
    auto second = client->authEvents();
    auto closed = client->authEvents();
    closed->close();
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));
    transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));
    transport.reply(204);

    runTask(client->passwordSignIn(QStringLiteral("a@b.test"), QStringLiteral("pw-123456")));
    runTask(client->renewSession());
    runTask(client->signOutGlobally());

    const QStringList changes{QStringLiteral("SignedIn:access-1"), QStringLiteral("TokenRefreshed:access-2"),
                              QStringLiteral("SignedOut:-")};
    EXPECT_EQ(taken(*first), QStringList{QStringLiteral("InitialSession:-")} + changes);
    EXPECT_EQ(taken(*second), QStringList{QStringLiteral("InitialSession:-")} + changes);
}

TEST_F(Session, TheClientEndsItsSubscriptionsWhenItGoesAway)
{
    auto events = client->authEvents();
    client.reset();
    EXPECT_TRUE(events->isClosed());
}

// Sign-out: what the service answers to /logout, and whether the caller hears of it.
struct SignOutRow
{
    const char *name;
    int status; // 0: no connection
    QByteArray body;
    bool throws;
};

// Rows print as their name (test names and failure messages).
void PrintTo(const SignOutRow &row, std::ostream *out)
{
    *out << row.name;
}

class SignOut : public GoTrueClientTest, public ::testing::WithParamInterface<SignOutRow>
{};

TEST_P(SignOut, AlwaysEndsTheLocalSession)
{
    const SignOutRow row = GetParam();
    auto events = startSignedIn();
    storage.items.insert(verifierKey, "\"pending-verifier\"");
    if (row.status == 0) {
        transport.fail(TransportError::Kind::TimedOut);
    } else {
        transport.reply(row.status, row.body);
    }

    const std::exception_ptr failure = failureOf(client->signOutGlobally());

    EXPECT_EQ(bool(failure), row.throws);
    ASSERT_EQ(transport.requests().size(), 1);
    EXPECT_EQ(transport.requests().at(0).method, "POST");
    EXPECT_EQ(transport.pathOf(0), "/auth/v1/logout?scope=global");
    EXPECT_EQ(transport.requests().at(0).header("Authorization"), "Bearer access-1");
    EXPECT_TRUE(storage.items.isEmpty());
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedOut:-")});
    EXPECT_TRUE(failureOfType<IdentityServiceError>(client->renewSession())) << "nothing left to renew";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SignOut,
    ::testing::Values(SignOutRow{"revoked", 204, {}, false},
                      SignOutRow{"noAuthorization", 401, R"({"code":"no_authorization","message":"x"})", false},
                      SignOutRow{"sessionGone", 403, R"({"code":"session_not_found","message":"x"})", false},
                      SignOutRow{"notFound", 404, {}, false},
                      SignOutRow{"serverError", 500, R"({"code":"unexpected_failure","message":"x"})", true},
                      SignOutRow{"offline", 0, {}, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Session, SignOutWithAnExpiredTokenRenewsItToRevokeTheSession)
{
    // Not started: no automatic refresh renews the token before it expires.
    transport.reply(200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));
    runTask(client->passwordSignIn(QStringLiteral("a@b.test"), QStringLiteral("pw-123456")));
    scheduler.advance(3700);
    transport.reply(200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));
    transport.reply(204);

    runTask(client->signOutGlobally());

    ASSERT_EQ(transport.requests().size(), 3);
    EXPECT_EQ(bodyOf(1).value(QStringLiteral("refresh_token")).toString(), QStringLiteral("refresh-1"));
    EXPECT_EQ(transport.pathOf(2), "/auth/v1/logout?scope=global");
    EXPECT_EQ(transport.requests().at(2).header("Authorization"), "Bearer access-2");
    EXPECT_FALSE(storage.items.contains(sessionKey));
}

TEST_F(Session, SignOutWhenTheStoreFailsStillSignsOutAndReportsIt)
{
    auto events = startSignedIn();
    storage.removeFails = true;
    transport.reply(204);

    EXPECT_TRUE(failureOfType<StorageFailure>(client->signOutGlobally()));

    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedOut:-")});
    EXPECT_EQ(transport.requests().size(), 1) << "the service still revokes the session";
}

TEST_F(Session, SignOutWithoutSessionOnlyAnnouncesIt)
{
    runTask(client->start());
    auto events = client->authEvents();
    taken(*events);

    runTask(client->signOutGlobally());

    EXPECT_TRUE(transport.requests().isEmpty());
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("SignedOut:-")});
}

// Refreshes that overlap: refresh tokens are single-use, so they must share one request.
class HeldSession : public ::testing::Test
{
protected:
    HeldHttpTransport transport;
    MemorySessionStorage storage;
    ManualScheduler scheduler;
    GoTrueClient client{QUrl(QStringLiteral("http://127.0.0.1:9999")), QStringLiteral("anon-key"), transport, storage,
                        scheduler};

    QByteArray tokenBody(const QString &access, const QString &refresh)
    {
        return QStringLiteral(R"({"access_token":"%1","refresh_token":"%2","expires_in":3600,"token_type":"bearer"})")
            .arg(access, refresh)
            .toUtf8();
    }

    void signIn()
    {
        QCoro::Task<AuthSession> signingIn = client.passwordSignIn(QStringLiteral("a@b.test"), QStringLiteral("pw"));
        transport.answer(0, 200, tokenBody(QStringLiteral("access-1"), QStringLiteral("refresh-1")));
        runTask(std::move(signingIn));
    }
};

TEST_F(HeldSession, ConcurrentRenewalsShareOneRequest)
{
    runTask(client.start());
    signIn();
    auto events = client.authEvents();
    taken(*events);

    QCoro::Task<AuthSession> first = client.renewSession();
    QCoro::Task<AuthSession> second = client.renewSession();
    ASSERT_EQ(transport.requests().size(), 2);
    transport.answer(1, 200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));

    EXPECT_EQ(runTask(std::move(first)).accessToken, QStringLiteral("access-2"));
    EXPECT_EQ(runTask(std::move(second)).accessToken, QStringLiteral("access-2"));
    EXPECT_EQ(transport.requests().size(), 2);
    EXPECT_EQ(taken(*events), QStringList{QStringLiteral("TokenRefreshed:access-2")});
}

TEST_F(HeldSession, ARefreshThatReturnsAfterSignOutIsDiscarded)
{
    runTask(client.start());
    signIn();
    QCoro::Task<AuthSession> renewing = client.renewSession();
    QCoro::Task<> signingOut = client.signOutGlobally();
    transport.answer(2, 204, {});
    runTask(std::move(signingOut));

    transport.answer(1, 200, tokenBody(QStringLiteral("access-2"), QStringLiteral("refresh-2")));

    EXPECT_TRUE(failureOfType<IdentityServiceError>(std::move(renewing)));
    EXPECT_FALSE(storage.items.contains(client.sessionStorageKey()));
}

TEST_F(Session, DiagnosticsNeverCarryTokens)
{
    diagnostics.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepDiagnostic);
    storeSession(QStringLiteral("access-secret"), QStringLiteral("refresh-secret"), -30);
    transport.reply(400, refusedBody);
    storage.removeFails = true;
    auto events = client->authEvents();

    runTask(client->start());
    qInstallMessageHandler(previous);

    ASSERT_FALSE(diagnostics.isEmpty()) << "the failed renewal is reported";
    for (const QString &line : std::as_const(diagnostics)) {
        EXPECT_FALSE(line.contains(QStringLiteral("secret"))) << line.toStdString();
    }
}

} // namespace
