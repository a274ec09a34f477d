#include "backend/appstate.h"
#include "runtime/manualscheduler.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

User sampleUser()
{
    return User{.id = QStringLiteral("u1"), .email = QStringLiteral("ada@example.com")};
}

class AppStateTest : public ::testing::Test
{
protected:
    ManualScheduler scheduler;
    AppState state{scheduler};
};

TEST_F(AppStateTest, StartsSignedOutWithAutomaticSkillAndGeneralModel)
{
    EXPECT_FALSE(state.isAuthenticated());
    EXPECT_FALSE(state.user());
    EXPECT_EQ(state.credits(), 0);
    EXPECT_EQ(state.selectedSkill(), QStringLiteral("auto"));
    EXPECT_EQ(state.selectedTargetModel(), QStringLiteral("general"));
    EXPECT_FALSE(state.pendingSettingsTab());
    EXPECT_FALSE(state.isProcessing());
    EXPECT_FALSE(state.lastError());
}

TEST_F(AppStateTest, DeferredOperationsTakeEffectOnALaterTurnInCallOrder)
{
    QSignalSpy authenticated(&state, &AppState::isAuthenticatedChanged);
    state.updateUser(sampleUser());
    state.updateCredits(5);
    state.updateCredits(7);

    EXPECT_FALSE(state.isAuthenticated());
    EXPECT_EQ(state.credits(), 0);

    scheduler.runPending();

    EXPECT_TRUE(state.isAuthenticated());
    EXPECT_EQ(state.user()->email, QStringLiteral("ada@example.com"));
    EXPECT_EQ(state.credits(), 7);
    EXPECT_EQ(authenticated.count(), 1);

    state.updateUser(std::nullopt);
    scheduler.runPending();
    EXPECT_FALSE(state.isAuthenticated());
    EXPECT_FALSE(state.user());
}

TEST_F(AppStateTest, ResetIsImmediateAndKeepsTheSignedInFlagUnlessAsked)
{
    state.updateUser(sampleUser());
    state.updateCredits(40);
    scheduler.runPending();
    state.setSelectedSkill(QStringLiteral("code"));
    state.setSelectedTargetModel(QStringLiteral("midjourney"));

    state.resetUserState(false);

    EXPECT_TRUE(state.isAuthenticated());
    EXPECT_FALSE(state.user());
    EXPECT_EQ(state.credits(), 0);
    EXPECT_EQ(state.selectedSkill(), QStringLiteral("auto"));
    EXPECT_EQ(state.selectedTargetModel(), QStringLiteral("general"));

    state.resetUserState(true);
    EXPECT_FALSE(state.isAuthenticated());
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(AppStateTest, ResetLandsBeforeALaterDeferredProfileLoad)
{
    state.updateUser(sampleUser());
    state.resetUserState(false);
    scheduler.runPending();

    EXPECT_TRUE(state.user());
}

TEST_F(AppStateTest, RecoveryModeOpensTheAccountTabAndKeepsTheRecoveryAddress)
{
    state.enterPasswordRecovery();
    scheduler.runPending();

    EXPECT_TRUE(state.isPasswordRecoveryMode());
    EXPECT_EQ(state.pendingSettingsTab(), 0);
    EXPECT_FALSE(state.passwordRecoveryEmail());

    state.setPendingSettingsTab(std::nullopt);
    state.exitPasswordRecovery();
    scheduler.runPending();
    EXPECT_FALSE(state.isPasswordRecoveryMode());
    EXPECT_FALSE(state.pendingSettingsTab());
}

TEST_F(AppStateTest, EmailFlowFlagsAndAddressesChangeTogether)
{
    struct Flow
    {
        const char *name;
        std::function<void(QString)> set;
        std::function<void()> clear;
        std::function<bool()> flag;
        std::function<std::optional<QString>()> address;
    };
    const QList<Flow> flows = {
        {"confirmation", [&](QString e) { state.setEmailConfirmationPending(e); },
         [&] { state.clearEmailConfirmationPending(); }, [&] { return state.isEmailConfirmationPending(); },
         [&] { return state.pendingConfirmationEmail(); }},
        {"passwordless", [&](QString e) { state.setPasswordlessLoginPending(e); },
         [&] { state.clearPasswordlessLoginPending(); }, [&] { return state.isPasswordlessLoginPending(); },
         [&] { return state.passwordlessLoginEmail(); }},
        {"recovery code", [&](QString e) { state.setRecoveryOTPPending(e); }, [&] { state.clearRecoveryOTPPending(); },
         [&] { return state.isRecoveryOTPPending(); }, [&] { return state.recoveryOTPEmail(); }},
    };
    for (const Flow &flow : flows) {
        flow.set(QStringLiteral("ada@example.com"));
        EXPECT_FALSE(flow.flag()) << flow.name;
        scheduler.runPending();
        EXPECT_TRUE(flow.flag()) << flow.name;
        EXPECT_EQ(flow.address(), QStringLiteral("ada@example.com")) << flow.name;

        flow.clear();
        scheduler.runPending();
        EXPECT_FALSE(flow.flag()) << flow.name;
        EXPECT_FALSE(flow.address()) << flow.name;
    }
}

TEST_F(AppStateTest, SettersNotifyOnlyOnChange)
{
    QSignalSpy skill(&state, &AppState::selectedSkillChanged);
    QSignalSpy error(&state, &AppState::lastErrorChanged);

    state.setSelectedSkill(QStringLiteral("auto"));
    state.setSelectedSkill(QStringLiteral("code"));
    state.setSelectedSkill(QStringLiteral("code"));
    state.setLastError(QStringLiteral("Resource not found"));
    state.setLastError(QStringLiteral("Resource not found"));
    state.setLastError(std::nullopt);

    EXPECT_EQ(skill.count(), 1);
    EXPECT_EQ(error.count(), 2);
}

} // namespace
