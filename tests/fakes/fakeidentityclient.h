#pragma once

#include "platform/identityclient.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <vector>

// An identity client that records every call ("operation arg1 arg2 ...") and answers from a script: by default
// every operation succeeds; `failNext` makes the next call of one operation fail with the service's message.
// Successful sign-in paths do not emit events by themselves; tests emit them with emitEvent.
class FakeIdentityClient : public IdentityClient
{
public:
    // The next renewals succeed; `onRenewed` runs before each returns, as the token-refreshed event would.
    void renewSucceeds(std::function<void()> onRenewed = {});
    // The next renewals fail with the identity service's message `message`.
    void renewFails(QString message);
    void failNext(const QString &operation, QString message);
    // What createAccount answers: a session, or none while confirmation is pending.
    void setCreatedSession(std::optional<AuthSession> session) { m_createdSession = std::move(session); }

    // Pushes an event to every open subscription.
    void emitEvent(AuthEvent event, std::optional<AuthSession> session = std::nullopt);
    int subscriptionCount() const;

    const QStringList &calls() const { return m_calls; }
    int renewCount() const { return m_renewCount; }
    int signOutCount() const { return m_signOutCount; }

    QCoro::Task<std::optional<AuthSession>> createAccount(QString email, QString password,
                                                          std::optional<QJsonObject> metadata, QUrl redirect) override;
    QCoro::Task<AuthSession> passwordSignIn(QString email, QString password) override;
    QCoro::Task<> requestEmailCode(QString email, QUrl redirect, bool createUser) override;
    QCoro::Task<std::optional<AuthSession>> verifyEmailCode(QString email, QString code, EmailOtpType type) override;
    QCoro::Task<std::optional<AuthSession>> verifyLinkToken(QString tokenHash, EmailOtpType type) override;
    QCoro::Task<> resendSignUpEmail(QString email, QUrl redirect) override;
    QCoro::Task<> requestPasswordReset(QString email, QUrl redirect) override;
    QCoro::Task<> changePassword(QString newPassword) override;
    QCoro::Task<> signOutGlobally() override;
    QCoro::Task<AuthSession> renewSession() override;
    QCoro::Task<AuthSession> installSession(QString accessToken, QString refreshToken) override;
    QCoro::Task<AuthSession> completeFromCallbackUrl(QUrl callbackUrl) override;
    QCoro::Task<QUrl> providerSignInUrl(SignInProvider provider, QUrl redirect) override;
    std::shared_ptr<AuthEventStream> authEvents() override;

private:
    // Records the call and throws when a failure was scripted for it.
    void record(const QString &operation, const QStringList &arguments = {});

    std::vector<std::shared_ptr<AuthEventStream>> m_subscriptions;
    QHash<QString, QString> m_failures;
    std::optional<AuthSession> m_createdSession;
    QStringList m_calls;
    std::function<void()> m_onRenewed;
    int m_renewCount = 0;
    int m_signOutCount = 0;
};
