#pragma once

#include <QObject>

// moc cannot parse the C++20 concepts that the coroutine headers pull in; it needs none of these declarations.
#ifndef Q_MOC_RUN
#include "platform/identityclient.h"
#endif

#include <memory>

class APIClient;
class AppState;
class PromptService;
class WebAuthSession;

enum class OAuthProviderType
{
    Google,
    Apple,
};

// Owns the session side of the program: listens to the identity client's events for the whole run and turns them
// into the backend's bearer token and the signed-in user in AppState; offers the account operations of the sign-in
// and account screens. It never decides from return values whether someone is signed in: every change arrives as
// an event.
class SupabaseManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> accessToken READ accessToken NOTIFY accessTokenChanged)
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)

public:
    static inline const QString confirmRedirect = QStringLiteral("wordloom://auth/confirm");
    static inline const QString callbackRedirect = QStringLiteral("wordloom://auth/callback");
    static inline const QString recoveryRedirect = QStringLiteral("wordloom://auth/recovery");
    static inline const QString callbackScheme = QStringLiteral("wordloom");
    static inline const QString sessionStorageService = QStringLiteral("com.wordloom.supabase.auth");

    SupabaseManager(IdentityClient &client, APIClient &api, AppState &appState, PromptService &prompts,
                    WebAuthSession &webAuth, QObject *parent = nullptr);
    ~SupabaseManager() override;

    IdentityClient &client() const { return m_client; }
    const std::optional<QString> &accessToken() const { return m_accessToken; }
    bool isAuthenticated() const { return m_isAuthenticated; }

    // Starts listening to the client's events; a listener started before stops.
    void startAuthListener();
    void stopAuthListener();

    // True when the new account must confirm its e-mail address before it can sign in.
    QCoro::Task<bool> registerAccount(QString email, QString password, std::optional<QString> fullName);
    QCoro::Task<> verifyEmailCode(QString email, QString code, EmailOtpType type);
    QCoro::Task<> verifyTokenHash(QString tokenHash, QString type);
    QCoro::Task<> resendConfirmation(QString email);
    QCoro::Task<> sendPasswordlessCode(QString email);
    QCoro::Task<> sendPasswordReset(QString email);
    QCoro::Task<> updatePassword(QString newPassword);
    // Runs the provider's sign-in page; returns once the callback has been exchanged for a session.
    QCoro::Task<> signInWithOAuth(OAuthProviderType provider);

    // Loads profile and credits into AppState; failures are only logged.
    QCoro::Task<> loadUserProfile();
    QCoro::Task<> handleAuthEvent(AuthEvent event, std::optional<AuthSession> session);

    // The link-token type as the identity service names it; unknown words count as a recovery.
    static EmailOtpType emailOtpType(const QString &type);

Q_SIGNALS:
    void accessTokenChanged();
    void isAuthenticatedChanged();

private:
    QCoro::Task<> listen(std::shared_ptr<AuthEventStream> events);
    void applyToken(const AuthSession &session);
    QCoro::Task<> signedInSteps(AuthSession session);
    void signedOutSteps();
    void setAccessToken(std::optional<QString> token);
    void setIsAuthenticated(bool authenticated);

    IdentityClient &m_client;
    APIClient &m_api;
    AppState &m_appState;
    PromptService &m_prompts;
    WebAuthSession &m_webAuth;
    std::optional<QString> m_accessToken;
    bool m_isAuthenticated = false;
    std::shared_ptr<AuthEventStream> m_events;
};
