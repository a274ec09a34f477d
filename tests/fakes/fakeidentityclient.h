#pragma once

#include "platform/identityclient.h"

#include <functional>
#include <stdexcept>
#include <vector>

// An identity client whose session renewal and sign-out are scripted and counted. Operations a test did not
// script fail loudly.
class FakeIdentityClient : public IdentityClient
{
public:
    // The next renewals succeed; `onRenewed` runs before each returns, as the token-refreshed event would.
    void renewSucceeds(std::function<void()> onRenewed = {});
    // The next renewals fail with the identity service's message `message`.
    void renewFails(QString message);

    // Pushes an event to every open subscription.
    void emitEvent(AuthEvent event, std::optional<AuthSession> session = std::nullopt);
    int subscriptionCount() const;

    int renewCount() const { return m_renewCount; }
    int signOutCount() const { return m_signOutCount; }

    QCoro::Task<std::optional<AuthSession>> createAccount(QString, QString, std::optional<QJsonObject>, QUrl) override;
    QCoro::Task<AuthSession> passwordSignIn(QString, QString) override;
    QCoro::Task<> requestEmailCode(QString, QUrl, bool) override;
    QCoro::Task<std::optional<AuthSession>> verifyEmailCode(QString, QString, EmailOtpType) override;
    QCoro::Task<std::optional<AuthSession>> verifyLinkToken(QString, EmailOtpType) override;
    QCoro::Task<> resendSignUpEmail(QString, QUrl) override;
    QCoro::Task<> requestPasswordReset(QString, QUrl) override;
    QCoro::Task<> changePassword(QString) override;
    QCoro::Task<> signOutGlobally() override;
    QCoro::Task<AuthSession> renewSession() override;
    QCoro::Task<AuthSession> installSession(QString, QString) override;
    QCoro::Task<AuthSession> completeFromCallbackUrl(QUrl) override;
    QCoro::Task<QUrl> providerSignInUrl(SignInProvider, QUrl) override;
    std::shared_ptr<AuthEventStream> authEvents() override;

private:
    std::vector<std::shared_ptr<AuthEventStream>> m_subscriptions;
    std::function<void()> m_onRenewed;
    std::optional<QString> m_renewFailure;
    int m_renewCount = 0;
    int m_signOutCount = 0;
};
