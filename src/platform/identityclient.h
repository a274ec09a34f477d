#pragma once

#include "runtime/asyncqueue.h"

#include <QCoroTask>
#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

// The identity service's session: the access token is the backend's bearer token.
struct AuthSession
{
    QString accessToken;
    QString refreshToken;

    bool operator==(const AuthSession &) const = default;
};

enum class AuthEvent
{
    InitialSession,
    PasswordRecovery,
    SignedIn,
    SignedOut,
    TokenRefreshed,
    UserUpdated,
    UserDeleted,
    MfaChallengeVerified,
};

// One entry of the identity client's event stream.
struct AuthStateChange
{
    AuthEvent event;
    std::optional<AuthSession> session;
};

using AuthEventStream = AsyncQueue<AuthStateChange>;

enum class EmailOtpType
{
    Signup,
    Invite,
    Magiclink,
    Recovery,
    EmailChange,
    Email,
};

enum class SignInProvider
{
    Google,
    Apple,
};

// The type's name in the identity service's protocol: "signup", "invite", "magiclink", "recovery",
// "email_change", "email".
QString emailOtpTypeName(EmailOtpType type);

// The program's view of the identity-service client (accounts, sessions, refresh). Every operation is asynchronous
// and fails with the client's own error type or a passed-through transport error. Successful sign-in paths,
// refreshes and sign-outs are also announced as events by the implementation.
class IdentityClient
{
public:
    IdentityClient() = default;
    virtual ~IdentityClient();
    IdentityClient(const IdentityClient &) = delete;
    IdentityClient &operator=(const IdentityClient &) = delete;

    // A session, or none while the e-mail address waits for confirmation.
    virtual QCoro::Task<std::optional<AuthSession>>
    createAccount(QString email, QString password, std::optional<QJsonObject> metadata, QUrl redirect) = 0;
    virtual QCoro::Task<AuthSession> passwordSignIn(QString email, QString password) = 0;
    virtual QCoro::Task<> requestEmailCode(QString email, QUrl redirect, bool createUser) = 0;
    virtual QCoro::Task<std::optional<AuthSession>> verifyEmailCode(QString email, QString code, EmailOtpType type) = 0;
    virtual QCoro::Task<std::optional<AuthSession>> verifyLinkToken(QString tokenHash, EmailOtpType type) = 0;
    virtual QCoro::Task<> resendSignUpEmail(QString email, QUrl redirect) = 0;
    virtual QCoro::Task<> requestPasswordReset(QString email, QUrl redirect) = 0;
    // Needs a signed-in session.
    virtual QCoro::Task<> changePassword(QString newPassword) = 0;
    // Ends the session everywhere and removes it from storage.
    virtual QCoro::Task<> signOutGlobally() = 0;
    // Exchanges the stored refresh token for a new session. By the time it returns, the token-refreshed event has
    // been delivered, so holders of the access token already have the new one.
    virtual QCoro::Task<AuthSession> renewSession() = 0;
    virtual QCoro::Task<AuthSession> installSession(QString accessToken, QString refreshToken) = 0;
    // A session from a PKCE code or from tokens in the fragment of a callback URL.
    virtual QCoro::Task<AuthSession> completeFromCallbackUrl(QUrl callbackUrl) = 0;
    // The URL to open in a web-authentication window for `provider`.
    virtual QCoro::Task<QUrl> providerSignInUrl(SignInProvider provider, QUrl redirect) = 0;

    // A new subscription to the client's events, in order: first InitialSession with the restored session (or
    // none) once the stored session has been read, then every later change. The subscriber ends it by closing it;
    // the client closes it when it goes away.
    virtual std::shared_ptr<AuthEventStream> authEvents() = 0;
};
