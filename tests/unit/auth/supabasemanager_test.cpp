#include "auth/autherror.h"
#include "sessionfixture.h"

namespace {

class SupabaseManagerTest : public SessionFixture
{
protected:
    SupabaseManagerTest() { manager.startAuthListener(); }
};

TEST_F(SupabaseManagerTest, StartWithoutAStoredSessionEndsSignedOut)
{
    identity.emitEvent(AuthEvent::InitialSession);
    scheduler.runPending();

    EXPECT_FALSE(manager.isAuthenticated());
    EXPECT_FALSE(manager.accessToken());
    EXPECT_FALSE(state.isAuthenticated());
    EXPECT_FALSE(state.user());
    EXPECT_EQ(state.credits(), 0);
    EXPECT_EQ(state.selectedSkill(), QStringLiteral("auto"));
    EXPECT_TRUE(transport.requests().isEmpty());
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[SupabaseManager] Auth event: initialSession")});
}

TEST_F(SupabaseManagerTest, StoredSessionSetsTheTokenAtOnceAndSignsInWhenTheProfileArrives)
{
    answerProfile(55);

    identity.emitEvent(AuthEvent::InitialSession, session);

    EXPECT_EQ(api.accessToken(), QStringLiteral("access-1"));
    EXPECT_EQ(manager.accessToken(), QStringLiteral("access-1"));
    EXPECT_TRUE(manager.isAuthenticated());
    EXPECT_FALSE(state.isAuthenticated());
    ASSERT_EQ(transport.requests().size(), 2);
    EXPECT_EQ(transport.pathOf(0), "/api/v1/profile");
    EXPECT_EQ(transport.pathOf(1), "/api/v1/usage/credits");
    EXPECT_EQ(transport.requests().at(0).header("Authorization"), "Bearer access-1");

    scheduler.runPending();

    EXPECT_TRUE(state.isAuthenticated());
    EXPECT_EQ(state.user()->fullName, QStringLiteral("Ada"));
    EXPECT_EQ(state.credits(), 55);
}

TEST_F(SupabaseManagerTest, FailedProfileLoadLeavesTheUserSignedOutButTheTokenInPlace)
{
    transport.reply(500, R"({"detail":"Database unavailable"})");

    identity.emitEvent(AuthEvent::SignedIn, session);
    scheduler.runPending();

    EXPECT_EQ(transport.requests().size(), 1);
    EXPECT_TRUE(manager.isAuthenticated());
    EXPECT_EQ(api.accessToken(), QStringLiteral("access-1"));
    EXPECT_FALSE(state.isAuthenticated());
    EXPECT_TRUE(log.contains(u"[SupabaseManager] Failed to load user profile: Database unavailable"));
}

TEST_F(SupabaseManagerTest, ResetOfThePreviousAccountLandsBeforeTheNewProfile)
{
    answerProfile(10);
    identity.emitEvent(AuthEvent::SignedIn, session);
    scheduler.runPending();
    state.setSelectedSkill(QStringLiteral("code"));
    state.setSelectedTargetModel(QStringLiteral("midjourney"));

    answerProfile(77);
    identity.emitEvent(AuthEvent::SignedIn, AuthSession{QStringLiteral("access-2"), QStringLiteral("refresh-2")});

    EXPECT_FALSE(state.user());
    EXPECT_EQ(state.credits(), 0);
    EXPECT_EQ(state.selectedSkill(), QStringLiteral("auto"));
    EXPECT_EQ(state.selectedTargetModel(), QStringLiteral("general"));
    scheduler.runPending();
    EXPECT_TRUE(state.user());
    EXPECT_EQ(state.credits(), 77);
}

TEST_F(SupabaseManagerTest, EventsWithoutTheSessionTheyNeedOnlyLog)
{
    identity.emitEvent(AuthEvent::SignedIn);
    identity.emitEvent(AuthEvent::TokenRefreshed);
    identity.emitEvent(AuthEvent::MfaChallengeVerified, session);
    scheduler.runPending();

    EXPECT_FALSE(manager.isAuthenticated());
    EXPECT_TRUE(api.accessToken().isEmpty());
    EXPECT_TRUE(transport.requests().isEmpty());
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("[SupabaseManager] Auth event: signedIn"),
                                        QStringLiteral("[SupabaseManager] Auth event: tokenRefreshed"),
                                        QStringLiteral("[SupabaseManager] Auth event: mfaChallengeVerified")}));
}

TEST_F(SupabaseManagerTest, TokenRefreshSwapsTheTokenWithoutReloadingTheProfile)
{
    answerProfile();
    identity.emitEvent(AuthEvent::SignedIn, session);

    identity.emitEvent(AuthEvent::TokenRefreshed, AuthSession{QStringLiteral("access-2"), QStringLiteral("r2")});

    EXPECT_EQ(api.accessToken(), QStringLiteral("access-2"));
    EXPECT_EQ(manager.accessToken(), QStringLiteral("access-2"));
    EXPECT_EQ(transport.requests().size(), 2);
    EXPECT_TRUE(log.contains(u"[SupabaseManager] Token refreshed successfully"));
}

TEST_F(SupabaseManagerTest, UserUpdateReloadsTheProfile)
{
    answerProfile();
    identity.emitEvent(AuthEvent::SignedIn, session);
    answerProfile(12);

    identity.emitEvent(AuthEvent::UserUpdated);
    scheduler.runPending();

    EXPECT_EQ(transport.requests().size(), 4);
    EXPECT_EQ(state.credits(), 12);
}

TEST_F(SupabaseManagerTest, SignOutAndDeletionClearTokenAndState)
{
    for (const AuthEvent ending : {AuthEvent::SignedOut, AuthEvent::UserDeleted}) {
        answerProfile();
        identity.emitEvent(AuthEvent::SignedIn, session);
        scheduler.runPending();
        ASSERT_TRUE(state.isAuthenticated());

        identity.emitEvent(ending, session);

        EXPECT_FALSE(manager.isAuthenticated());
        EXPECT_FALSE(manager.accessToken());
        EXPECT_TRUE(api.accessToken().isEmpty());
        EXPECT_FALSE(state.isAuthenticated());
        EXPECT_FALSE(state.user());
    }
}

TEST_F(SupabaseManagerTest, PasswordRecoveryOpensTheAccountTabInRecoveryMode)
{
    identity.emitEvent(AuthEvent::PasswordRecovery);
    scheduler.runPending();

    EXPECT_TRUE(state.isPasswordRecoveryMode());
    EXPECT_EQ(state.pendingSettingsTab(), 0);
    EXPECT_TRUE(log.contains(u"[SupabaseManager] Password recovery mode activated"));
}

TEST_F(SupabaseManagerTest, SecondListenerStartReplacesTheFirst)
{
    manager.startAuthListener();

    identity.emitEvent(AuthEvent::TokenRefreshed, session);

    EXPECT_EQ(identity.subscriptionCount(), 1);
    EXPECT_EQ(log.count(u"Auth event: tokenRefreshed"), 1);
}

TEST_F(SupabaseManagerTest, StoppedListenerIgnoresLaterEvents)
{
    manager.stopAuthListener();

    identity.emitEvent(AuthEvent::SignedOut);

    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(SupabaseManagerTest, RegistrationSendsTheNameAsMetadataOnlyWhenGiven)
{
    identity.setCreatedSession(std::nullopt);
    EXPECT_TRUE(runTask(manager.registerAccount(QStringLiteral("a@b.c"), QStringLiteral("pw"), QStringLiteral("Ada"))));
    identity.setCreatedSession(session);
    EXPECT_FALSE(runTask(manager.registerAccount(QStringLiteral("a@b.c"), QStringLiteral("pw"), std::nullopt)));

    EXPECT_EQ(identity.calls(),
              (QStringList{QStringLiteral(R"(createAccount a@b.c pw {"full_name":"Ada"} wordloom://auth/confirm)"),
                           QStringLiteral("createAccount a@b.c pw no-metadata wordloom://auth/confirm")}));
}

TEST_F(SupabaseManagerTest, LinkTokenTypesAreMappedCaseInsensitivelyWithRecoveryAsFallback)
{
    const QList<QPair<const char *, const char *>> rows = {
        {"signup", "signup"},     {"invite", "invite"},       {"MAGICLINK", "magiclink"},
        {"recovery", "recovery"}, {"Recovery", "recovery"},   {"email_change", "email_change"},
        {"email", "email"},       {"magic link", "recovery"}, {"", "recovery"},
    };
    for (const auto &[type, expected] : rows) {
        runTask(manager.verifyTokenHash(QStringLiteral("hash"), QString::fromLatin1(type)));
        EXPECT_EQ(identity.calls().last(), QStringLiteral("verifyLinkToken hash ") + QString::fromLatin1(expected))
            << type;
    }
}

TEST_F(SupabaseManagerTest, EmailOperationsUseTheirRedirects)
{
    runTask(manager.sendPasswordlessCode(QStringLiteral("a@b.c")));
    runTask(manager.sendPasswordReset(QStringLiteral("a@b.c")));
    runTask(manager.resendConfirmation(QStringLiteral("a@b.c")));
    runTask(manager.verifyEmailCode(QStringLiteral("a@b.c"), QStringLiteral("12345678"), EmailOtpType::Magiclink));

    EXPECT_EQ(identity.calls(),
              (QStringList{QStringLiteral("requestEmailCode a@b.c wordloom://auth/callback no-create"),
                           QStringLiteral("requestPasswordReset a@b.c wordloom://auth/recovery"),
                           QStringLiteral("resendSignUpEmail a@b.c wordloom://auth/confirm"),
                           QStringLiteral("verifyEmailCode a@b.c 12345678 magiclink")}));
}

TEST_F(SupabaseManagerTest, PasswordUpdateLeavesRecoveryModeOnlyOnSuccess)
{
    state.enterPasswordRecovery();
    scheduler.runPending();

    identity.failNext(QStringLiteral("changePassword"), QStringLiteral("Password should be at least 6 characters."));
    EXPECT_EQ(failureDescription(manager.updatePassword(QStringLiteral("x"))),
              QStringLiteral("Password should be at least 6 characters."));
    scheduler.runPending();
    EXPECT_TRUE(state.isPasswordRecoveryMode());

    runTask(manager.updatePassword(QStringLiteral("a-long-password")));
    scheduler.runPending();
    EXPECT_FALSE(state.isPasswordRecoveryMode());
}

TEST_F(SupabaseManagerTest, ProviderSignInOutcomes)
{
    const QUrl callback(QStringLiteral("wordloom://auth/callback?code=abc"));
    struct Row
    {
        const char *name;
        std::function<void()> arrange;
        std::optional<QString> failure; // none: success
    };
    const QList<Row> rows = {
        {"cancelled", [&] { webAuth.finishWith({.errorCode = WebAuthOutcome::cancelledByUser}); },
         QStringLiteral("Sign in was cancelled")},
        {"no callback", [&] { webAuth.finishWith({}); }, QStringLiteral("No response from authentication provider")},
        {"other error",
         [&] {
             webAuth.finishWith({.errorCode = 3, .errorDescription = QStringLiteral("The browser could not open")});
         },
         QStringLiteral("The browser could not open")},
        {"exchange rejected",
         [&] {
             webAuth.finishWith({.callbackUrl = callback});
             identity.failNext(QStringLiteral("completeFromCallbackUrl"), QStringLiteral("invalid flow state"));
         },
         QStringLiteral("invalid flow state")},
        {"success", [&] { webAuth.finishWith({.callbackUrl = callback}); }, std::nullopt},
    };
    for (const Row &row : rows) {
        row.arrange();
        if (row.failure) {
            EXPECT_EQ(failureDescription(manager.signInWithOAuth(OAuthProviderType::Apple)), *row.failure) << row.name;
        } else {
            EXPECT_EQ(failureOf(manager.signInWithOAuth(OAuthProviderType::Apple)), nullptr) << row.name;
        }
    }
    EXPECT_EQ(identity.calls().last(), QStringLiteral("completeFromCallbackUrl wordloom://auth/callback?code=abc"));
    EXPECT_EQ(identity.calls().first(), QStringLiteral("providerSignInUrl apple wordloom://auth/callback"));
    EXPECT_EQ(webAuth.openedUrls().first(), QUrl(QStringLiteral("https://identity.test/authorize?provider=apple")));
}

TEST_F(SupabaseManagerTest, ProviderSignInThatCannotOpenItsWindowFailsToStart)
{
    webAuth.refuseToStart();

    const auto error = failureOfType<AuthError>(manager.signInWithOAuth(OAuthProviderType::Google));

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), AuthError::Kind::OAuthSessionFailed);
    EXPECT_EQ(error->description(), QStringLiteral("Failed to start authentication session"));
}

} // namespace
