#pragma once

#include "auth/gotrue/gotrueapi.h"
#include "auth/gotrue/sessionkeeper.h"
#include "platform/identityclient.h"

#include <memory>
#include <optional>

class HttpTransport;
class Scheduler;
class SessionStorage;
struct PkcePair;

// The identity-service (GoTrue) client: every account operation over HTTP, the PKCE flow, the session kept in
// `storage` and renewed on the scheduler before it expires, and the ordered event stream.
//
// Storage: the session's token response (JSON, with `expires_at`) under "sb-<ref>-auth-token", where <ref> is the
// first label of the project's host, and the pending PKCE verifier under the same key plus "-code-verifier".
//
// Call start() once after construction: subscribers get their InitialSession only when it has read the stored
// session. The client lives as long as the program's session manager; destroy it only once its operations finished.
class GoTrueClient : public IdentityClient
{
public:
    GoTrueClient(QUrl projectUrl, QString anonKey, HttpTransport &transport, SessionStorage &storage,
                 Scheduler &scheduler);
    ~GoTrueClient() override;

    // Restores the stored session (renewing it first when it has expired or is about to; a renewal the service
    // refuses removes it, one that cannot reach the service keeps it), delivers InitialSession to every
    // subscriber and starts the automatic refresh. Never fails: an unreadable store counts as no session and is
    // logged. Later calls do nothing.
    QCoro::Task<> start();

    QString sessionStorageKey() const { return m_sessionKey; }
    QString verifierStorageKey() const { return m_verifierKey; }

    QCoro::Task<std::optional<AuthSession>> createAccount(QString email, QString password,
                                                          std::optional<QJsonObject> metadata, QUrl redirect) override;
    QCoro::Task<AuthSession> passwordSignIn(QString email, QString password) override;
    QCoro::Task<> requestEmailCode(QString email, QUrl redirect, bool createUser) override;
    QCoro::Task<std::optional<AuthSession>> verifyEmailCode(QString email, QString code, EmailOtpType type) override;
    QCoro::Task<std::optional<AuthSession>> verifyLinkToken(QString tokenHash, EmailOtpType type) override;
    QCoro::Task<> resendSignUpEmail(QString email, QUrl redirect) override;
    QCoro::Task<> requestPasswordReset(QString email, QUrl redirect) override;
    QCoro::Task<> changePassword(QString newPassword) override;
    // Local first: the session is forgotten, removed from storage and SignedOut is emitted whatever the service
    // answers; then the service revokes it everywhere. A service that no longer knows the session (401, 403, 404)
    // counts as success; any other failure, and a storage failure, is thrown afterwards.
    QCoro::Task<> signOutGlobally() override;
    // Concurrent calls share one request.
    QCoro::Task<AuthSession> renewSession() override;
    QCoro::Task<AuthSession> installSession(QString accessToken, QString refreshToken) override;
    QCoro::Task<AuthSession> completeFromCallbackUrl(QUrl callbackUrl) override;
    QCoro::Task<QUrl> providerSignInUrl(SignInProvider provider, QUrl redirect) override;
    std::shared_ptr<AuthEventStream> authEvents() override;

private:
    QCoro::Task<std::optional<AuthSession>> adoptIfSession(QJsonObject answer, bool recovery);
    // A new verifier, stored before its challenge leaves the machine.
    QCoro::Task<PkcePair> startPkceFlow(bool recovery);
    QCoro::Task<AuthSession> exchangeCode(QString code);
    QCoro::Task<AuthSession> sessionFromFragment(QString accessToken, QString refreshToken, qint64 expiresIn,
                                                 qint64 expiresAt, bool recovery);
    QCoro::Task<> revoke(GoTrueSession session);

    GoTrueApi m_api;
    SessionStorage &m_storage;
    Scheduler &m_scheduler;
    QString m_sessionKey;
    QString m_verifierKey;
    SessionKeeper m_session;
};
