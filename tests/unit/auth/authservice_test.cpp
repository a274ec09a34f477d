#include "auth/authservice.h"
#include "fakes/fakekeychain.h"
#include "sessionfixture.h"

namespace {

class AuthServiceTest : public SessionFixture
{
protected:
    void putLegacy(const QString &account, const QByteArray &token)
    {
        keychain.put(AuthService::legacyKeychainService, account, token);
    }
    bool hasLegacy(const QString &account) const
    {
        return keychain.item(AuthService::legacyKeychainService, account).has_value();
    }

    FakeKeychain keychain;
    AuthService auth{identity, state, api, keychain};
};

TEST_F(AuthServiceTest, SignInHandsTheCredentialsToTheIdentityClient)
{
    runTask(auth.signIn(QStringLiteral("ada@example.com"), QStringLiteral("pw")));
    identity.failNext(QStringLiteral("passwordSignIn"), QStringLiteral("Invalid login credentials"));

    EXPECT_EQ(failureDescription(auth.signIn(QStringLiteral("ada@example.com"), QStringLiteral("bad"))),
              QStringLiteral("Invalid login credentials"));
    EXPECT_EQ(identity.calls().first(), QStringLiteral("passwordSignIn ada@example.com pw"));
}

TEST_F(AuthServiceTest, SignOutThatReachesTheServiceLeavesTheRestToTheEvent)
{
    api.setAccessToken(QStringLiteral("access-1"));

    runTask(auth.signOut());
    scheduler.runPending();

    EXPECT_EQ(identity.signOutCount(), 1);
    EXPECT_EQ(api.accessToken(), QStringLiteral("access-1"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AuthServiceTest, SignOutWhileOfflineClearsTheLocalStateAndSwallowsTheError)
{
    manager.startAuthListener();
    answerProfile(30);
    identity.emitEvent(AuthEvent::SignedIn, session);
    scheduler.runPending();
    identity.failNext(QStringLiteral("signOutGlobally"), QStringLiteral("Could not connect to the server."));

    EXPECT_EQ(failureOf(auth.signOut()), nullptr);
    scheduler.runPending();

    EXPECT_TRUE(log.contains(u"[AuthService] Sign out error: Could not connect to the server."));
    EXPECT_FALSE(state.user());
    EXPECT_FALSE(state.isAuthenticated());
    EXPECT_EQ(state.credits(), 0);
    EXPECT_TRUE(api.accessToken().isEmpty());
    EXPECT_TRUE(manager.isAuthenticated());
}

TEST_F(AuthServiceTest, MigrationNeedsBothLegacyTokens)
{
    runTask(auth.migrateLegacyTokens());
    putLegacy(AuthService::accessTokenKey, "legacy-access");
    runTask(auth.migrateLegacyTokens());

    EXPECT_TRUE(identity.calls().isEmpty());
    EXPECT_TRUE(hasLegacy(AuthService::accessTokenKey));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AuthServiceTest, MigrationInstallsTheLegacySessionAndDeletesTheTokens)
{
    putLegacy(AuthService::accessTokenKey, "legacy-access");
    putLegacy(AuthService::refreshTokenKey, "legacy-refresh");

    runTask(auth.migrateLegacyTokens());

    EXPECT_EQ(identity.calls(), QStringList{QStringLiteral("installSession legacy-access legacy-refresh")});
    EXPECT_FALSE(hasLegacy(AuthService::accessTokenKey));
    EXPECT_FALSE(hasLegacy(AuthService::refreshTokenKey));
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("[AuthService] Found legacy tokens, attempting migration..."),
                                        QStringLiteral("[AuthService] Migration successful, legacy tokens deleted")}));
}

TEST_F(AuthServiceTest, RejectedMigrationStillDeletesTheTokens)
{
    putLegacy(AuthService::accessTokenKey, "legacy-access");
    putLegacy(AuthService::refreshTokenKey, "legacy-refresh");
    identity.failNext(QStringLiteral("installSession"),
                      QStringLiteral("Invalid Refresh Token: Refresh Token Not Found"));

    EXPECT_EQ(failureOf(auth.migrateLegacyTokens()), nullptr);

    EXPECT_TRUE(log.contains(u"[AuthService] Migration failed: Invalid Refresh Token: Refresh Token Not Found"));
    EXPECT_FALSE(log.contains(u"Migration successful"));
    EXPECT_FALSE(hasLegacy(AuthService::accessTokenKey));
    EXPECT_FALSE(hasLegacy(AuthService::refreshTokenKey));
}

TEST_F(AuthServiceTest, UnreadableLegacyTokensCountAsAbsent)
{
    putLegacy(AuthService::accessTokenKey, QByteArray("\xff\xfe", 2));
    putLegacy(AuthService::refreshTokenKey, "legacy-refresh");
    runTask(auth.migrateLegacyTokens());
    EXPECT_TRUE(identity.calls().isEmpty());

    putLegacy(AuthService::accessTokenKey, "legacy-access");
    keychain.failWith(QStringLiteral("read"), KeychainStatus::interactionNotAllowed);
    runTask(auth.migrateLegacyTokens());
    EXPECT_TRUE(identity.calls().isEmpty());
    EXPECT_TRUE(hasLegacy(AuthService::accessTokenKey));
}

} // namespace
