#include "backend/appstate.h"

#include "runtime/scheduler.h"

namespace {

// Assigns and notifies only when the value changes.
template <typename Value, typename Signal>
void assign(AppState *state, Value &field, Value value, Signal changed)
{
    if (field == value) {
        return;
    }
    field = std::move(value);
    Q_EMIT(state->*changed)();
}

constexpr int accountSettingsTab = 0;

} // namespace

AppState::AppState(Scheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_scheduler(scheduler)
{}

void AppState::setIsProcessing(bool processing)
{
    assign(this, m_isProcessing, processing, &AppState::isProcessingChanged);
}

void AppState::setLastError(std::optional<QString> error)
{
    assign(this, m_lastError, std::move(error), &AppState::lastErrorChanged);
}

void AppState::setSelectedSkill(QString slug)
{
    assign(this, m_selectedSkill, std::move(slug), &AppState::selectedSkillChanged);
}

void AppState::setSelectedTargetModel(QString model)
{
    assign(this, m_selectedTargetModel, std::move(model), &AppState::selectedTargetModelChanged);
}

void AppState::setPendingSettingsTab(std::optional<int> tab)
{
    assign(this, m_pendingSettingsTab, tab, &AppState::pendingSettingsTabChanged);
}

void AppState::updateUser(std::optional<User> user)
{
    m_scheduler.post([this, user = std::move(user)] {
        const bool present = user.has_value();
        setUser(user);
        setIsAuthenticated(present);
    });
}

void AppState::updateCredits(qint64 credits)
{
    m_scheduler.post([this, credits] { setCredits(credits); });
}

void AppState::enterPasswordRecovery()
{
    m_scheduler.post([this] {
        setIsPasswordRecoveryMode(true);
        setPendingSettingsTab(accountSettingsTab);
    });
}

void AppState::exitPasswordRecovery()
{
    m_scheduler.post([this] {
        setIsPasswordRecoveryMode(false);
        setPasswordRecoveryEmail(std::nullopt);
    });
}

void AppState::setEmailConfirmationPending(QString email)
{
    m_scheduler.post([this, email = std::move(email)] { setEmailConfirmation(true, email); });
}

void AppState::clearEmailConfirmationPending()
{
    m_scheduler.post([this] { setEmailConfirmation(false, std::nullopt); });
}

void AppState::setPasswordlessLoginPending(QString email)
{
    m_scheduler.post([this, email = std::move(email)] { setPasswordlessLogin(true, email); });
}

void AppState::clearPasswordlessLoginPending()
{
    m_scheduler.post([this] { setPasswordlessLogin(false, std::nullopt); });
}

void AppState::setRecoveryOTPPending(QString email)
{
    m_scheduler.post([this, email = std::move(email)] { setRecoveryOTP(true, email); });
}

void AppState::clearRecoveryOTPPending()
{
    m_scheduler.post([this] { setRecoveryOTP(false, std::nullopt); });
}

void AppState::resetUserState(bool clearAuthentication)
{
    setUser(std::nullopt);
    setCredits(0);
    setSelectedSkill(automaticSkill);
    setSelectedTargetModel(generalTargetModel);
    if (clearAuthentication) {
        setIsAuthenticated(false);
    }
}

void AppState::setIsAuthenticated(bool authenticated)
{
    assign(this, m_isAuthenticated, authenticated, &AppState::isAuthenticatedChanged);
}

void AppState::setUser(std::optional<User> user)
{
    assign(this, m_user, std::move(user), &AppState::userChanged);
}

void AppState::setCredits(qint64 credits)
{
    assign(this, m_credits, credits, &AppState::creditsChanged);
}

void AppState::setIsPasswordRecoveryMode(bool on)
{
    assign(this, m_isPasswordRecoveryMode, on, &AppState::isPasswordRecoveryModeChanged);
}

void AppState::setPasswordRecoveryEmail(std::optional<QString> email)
{
    assign(this, m_passwordRecoveryEmail, std::move(email), &AppState::passwordRecoveryEmailChanged);
}

void AppState::setEmailConfirmation(bool pending, std::optional<QString> email)
{
    assign(this, m_isEmailConfirmationPending, pending, &AppState::isEmailConfirmationPendingChanged);
    assign(this, m_pendingConfirmationEmail, std::move(email), &AppState::pendingConfirmationEmailChanged);
}

void AppState::setPasswordlessLogin(bool pending, std::optional<QString> email)
{
    assign(this, m_isPasswordlessLoginPending, pending, &AppState::isPasswordlessLoginPendingChanged);
    assign(this, m_passwordlessLoginEmail, std::move(email), &AppState::passwordlessLoginEmailChanged);
}

void AppState::setRecoveryOTP(bool pending, std::optional<QString> email)
{
    assign(this, m_isRecoveryOTPPending, pending, &AppState::isRecoveryOTPPendingChanged);
    assign(this, m_recoveryOTPEmail, std::move(email), &AppState::recoveryOTPEmailChanged);
}
