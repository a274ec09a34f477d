#pragma once

#include "backend/wire/profilerecords.h"

#include <QObject>

class Scheduler;

// The shared, observable state that screens, shortcuts and services read: who is signed in, the credit balance,
// improve progress, the chosen skill and target model, the settings tab to open next and the e-mail flows in
// progress. Nothing of it is saved. Belongs to the main thread; the deferred operations may be called from any
// thread and take effect on a later turn of the main loop, in the order called.
class AppState : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(std::optional<User> user READ user NOTIFY userChanged)
    Q_PROPERTY(qint64 credits READ credits NOTIFY creditsChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing WRITE setIsProcessing NOTIFY isProcessingChanged)
    Q_PROPERTY(std::optional<QString> lastError READ lastError WRITE setLastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString selectedSkill READ selectedSkill WRITE setSelectedSkill NOTIFY selectedSkillChanged)
    Q_PROPERTY(QString selectedTargetModel READ selectedTargetModel WRITE setSelectedTargetModel NOTIFY
                   selectedTargetModelChanged)
    Q_PROPERTY(std::optional<int> pendingSettingsTab READ pendingSettingsTab WRITE setPendingSettingsTab NOTIFY
                   pendingSettingsTabChanged)
    Q_PROPERTY(bool isPasswordRecoveryMode READ isPasswordRecoveryMode NOTIFY isPasswordRecoveryModeChanged)
    Q_PROPERTY(
        std::optional<QString> passwordRecoveryEmail READ passwordRecoveryEmail NOTIFY passwordRecoveryEmailChanged)
    Q_PROPERTY(bool isEmailConfirmationPending READ isEmailConfirmationPending NOTIFY isEmailConfirmationPendingChanged)
    Q_PROPERTY(std::optional<QString> pendingConfirmationEmail READ pendingConfirmationEmail NOTIFY
                   pendingConfirmationEmailChanged)
    Q_PROPERTY(bool isPasswordlessLoginPending READ isPasswordlessLoginPending NOTIFY isPasswordlessLoginPendingChanged)
    Q_PROPERTY(
        std::optional<QString> passwordlessLoginEmail READ passwordlessLoginEmail NOTIFY passwordlessLoginEmailChanged)
    Q_PROPERTY(bool isRecoveryOTPPending READ isRecoveryOTPPending NOTIFY isRecoveryOTPPendingChanged)
    Q_PROPERTY(std::optional<QString> recoveryOTPEmail READ recoveryOTPEmail NOTIFY recoveryOTPEmailChanged)

public:
    static inline const QString automaticSkill = QStringLiteral("auto");
    static inline const QString generalTargetModel = QStringLiteral("general");

    explicit AppState(Scheduler &scheduler, QObject *parent = nullptr);

    bool isAuthenticated() const { return m_isAuthenticated; }
    const std::optional<User> &user() const { return m_user; }
    qint64 credits() const { return m_credits; }
    bool isProcessing() const { return m_isProcessing; }
    const std::optional<QString> &lastError() const { return m_lastError; }
    const QString &selectedSkill() const { return m_selectedSkill; }
    const QString &selectedTargetModel() const { return m_selectedTargetModel; }
    std::optional<int> pendingSettingsTab() const { return m_pendingSettingsTab; }
    bool isPasswordRecoveryMode() const { return m_isPasswordRecoveryMode; }
    const std::optional<QString> &passwordRecoveryEmail() const { return m_passwordRecoveryEmail; }
    bool isEmailConfirmationPending() const { return m_isEmailConfirmationPending; }
    const std::optional<QString> &pendingConfirmationEmail() const { return m_pendingConfirmationEmail; }
    bool isPasswordlessLoginPending() const { return m_isPasswordlessLoginPending; }
    const std::optional<QString> &passwordlessLoginEmail() const { return m_passwordlessLoginEmail; }
    bool isRecoveryOTPPending() const { return m_isRecoveryOTPPending; }
    const std::optional<QString> &recoveryOTPEmail() const { return m_recoveryOTPEmail; }

    // Direct writes, main thread only.
    void setIsProcessing(bool processing);
    void setLastError(std::optional<QString> error);
    void setSelectedSkill(QString slug);
    void setSelectedTargetModel(QString model);
    void setPendingSettingsTab(std::optional<int> tab);

    // Deferred operations.
    void updateUser(std::optional<User> user);
    void updateCredits(qint64 credits);
    void enterPasswordRecovery();
    void exitPasswordRecovery();
    void setEmailConfirmationPending(QString email);
    void clearEmailConfirmationPending();
    void setPasswordlessLoginPending(QString email);
    void clearPasswordlessLoginPending();
    void setRecoveryOTPPending(QString email);
    void clearRecoveryOTPPending();

    // Immediate, main thread only: forgets the previous account's user, credits and choices; with
    // `clearAuthentication`, also the signed-in flag.
    void resetUserState(bool clearAuthentication);

Q_SIGNALS:
    void isAuthenticatedChanged();
    void userChanged();
    void creditsChanged();
    void isProcessingChanged();
    void lastErrorChanged();
    void selectedSkillChanged();
    void selectedTargetModelChanged();
    void pendingSettingsTabChanged();
    void isPasswordRecoveryModeChanged();
    void passwordRecoveryEmailChanged();
    void isEmailConfirmationPendingChanged();
    void pendingConfirmationEmailChanged();
    void isPasswordlessLoginPendingChanged();
    void passwordlessLoginEmailChanged();
    void isRecoveryOTPPendingChanged();
    void recoveryOTPEmailChanged();

private:
    void setIsAuthenticated(bool authenticated);
    void setUser(std::optional<User> user);
    void setCredits(qint64 credits);
    void setIsPasswordRecoveryMode(bool on);
    void setPasswordRecoveryEmail(std::optional<QString> email);
    void setEmailConfirmation(bool pending, std::optional<QString> email);
    void setPasswordlessLogin(bool pending, std::optional<QString> email);
    void setRecoveryOTP(bool pending, std::optional<QString> email);

    Scheduler &m_scheduler;
    bool m_isAuthenticated = false;
    std::optional<User> m_user;
    qint64 m_credits = 0;
    bool m_isProcessing = false;
    std::optional<QString> m_lastError;
    QString m_selectedSkill = automaticSkill;
    QString m_selectedTargetModel = generalTargetModel;
    std::optional<int> m_pendingSettingsTab;
    bool m_isPasswordRecoveryMode = false;
    std::optional<QString> m_passwordRecoveryEmail;
    bool m_isEmailConfirmationPending = false;
    std::optional<QString> m_pendingConfirmationEmail;
    bool m_isPasswordlessLoginPending = false;
    std::optional<QString> m_passwordlessLoginEmail;
    bool m_isRecoveryOTPPending = false;
    std::optional<QString> m_recoveryOTPEmail;
};
