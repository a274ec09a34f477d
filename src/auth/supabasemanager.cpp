#include "auth/supabasemanager.h"

#include "auth/autherror.h"
#include "backend/apiclient.h"
#include "backend/appstate.h"
#include "backend/promptservice.h"
#include "platform/webauthsession.h"
#include "runtime/logger.h"
#include "runtime/tasks.h"

#include <QJsonObject>
#include <QPointer>

namespace {

const QString component = QStringLiteral("SupabaseManager");

QString eventName(AuthEvent event)
{
    switch (event) {
    case AuthEvent::InitialSession:
        return QStringLiteral("initialSession");
    case AuthEvent::PasswordRecovery:
        return QStringLiteral("passwordRecovery");
    case AuthEvent::SignedIn:
        return QStringLiteral("signedIn");
    case AuthEvent::SignedOut:
        return QStringLiteral("signedOut");
    case AuthEvent::TokenRefreshed:
        return QStringLiteral("tokenRefreshed");
    case AuthEvent::UserUpdated:
        return QStringLiteral("userUpdated");
    case AuthEvent::UserDeleted:
        return QStringLiteral("userDeleted");
    case AuthEvent::MfaChallengeVerified:
        return QStringLiteral("mfaChallengeVerified");
    }
    return QStringLiteral("unknown");
}

SignInProvider signInProvider(OAuthProviderType provider)
{
    return provider == OAuthProviderType::Apple ? SignInProvider::Apple : SignInProvider::Google;
}

} // namespace

SupabaseManager::SupabaseManager(IdentityClient &client, APIClient &api, AppState &appState, PromptService &prompts,
                                 WebAuthSession &webAuth, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_api(api)
    , m_appState(appState)
    , m_prompts(prompts)
    , m_webAuth(webAuth)
{}

SupabaseManager::~SupabaseManager()
{
    stopAuthListener();
}

void SupabaseManager::startAuthListener()
{
    stopAuthListener();
    m_events = m_client.authEvents();
    startDetached(listen(m_events), component, QStringLiteral("Auth listener"));
}

void SupabaseManager::stopAuthListener()
{
    if (m_events) {
        std::exchange(m_events, nullptr)->close();
    }
}

// Handles one event at a time, in order: a profile load finishes before the next event is looked at. A closed
// stream ends the loop at once, also when events are still queued.
QCoro::Task<> SupabaseManager::listen(std::shared_ptr<AuthEventStream> events)
{
    QPointer<SupabaseManager> self(this);
    while (true) {
        auto nextChange = events->next();
        const std::optional<AuthStateChange> change = co_await nextChange;
        if (!change || events->isClosed() || !self) {
            co_return;
        }
        QCoro::Task<> handling = handleAuthEvent(change->event, change->session);
        co_await std::move(handling);
    }
}

QCoro::Task<> SupabaseManager::handleAuthEvent(AuthEvent event, std::optional<AuthSession> session)
{
    Log::line(component, QStringLiteral("Auth event: ") + eventName(event));
    switch (event) {
    case AuthEvent::InitialSession:
        if (session) {
            QCoro::Task<> signingIn = signedInSteps(*session);
            co_await std::move(signingIn);
        } else {
            signedOutSteps();
        }
        break;
    case AuthEvent::SignedIn:
        if (session) {
            QCoro::Task<> signingIn = signedInSteps(*session);
            co_await std::move(signingIn);
        }
        break;
    case AuthEvent::TokenRefreshed:
        if (session) {
            applyToken(*session);
            Log::line(component, QStringLiteral("Token refreshed successfully"));
        }
        break;
    case AuthEvent::PasswordRecovery:
        Log::line(component, QStringLiteral("Password recovery mode activated"));
        m_appState.enterPasswordRecovery();
        break;
    case AuthEvent::UserUpdated: {
        QCoro::Task<> loading = loadUserProfile();
        co_await std::move(loading);
        break;
    }
    case AuthEvent::SignedOut:
    case AuthEvent::UserDeleted:
        signedOutSteps();
        break;
    case AuthEvent::MfaChallengeVerified:
        break;
    }
}

void SupabaseManager::applyToken(const AuthSession &session)
{
    setAccessToken(session.accessToken);
    m_api.setAccessToken(session.accessToken);
}

QCoro::Task<> SupabaseManager::signedInSteps(AuthSession session)
{
    applyToken(session);
    m_appState.resetUserState(false);
    setIsAuthenticated(true);
    QCoro::Task<> loading = loadUserProfile();
    co_await std::move(loading);
}

void SupabaseManager::signedOutSteps()
{
    setAccessToken(std::nullopt);
    m_api.setAccessToken({});
    setIsAuthenticated(false);
    m_appState.resetUserState(true);
}

QCoro::Task<> SupabaseManager::loadUserProfile()
{
    try {
        QCoro::Task<User> fetchingProfile = m_prompts.fetchProfile();
        const User user = co_await std::move(fetchingProfile);
        m_appState.updateUser(user);
        QCoro::Task<CreditsResponse> fetchingCredits = m_prompts.fetchCredits();
        const CreditsResponse credits = co_await std::move(fetchingCredits);
        m_appState.updateCredits(credits.remainingCredits);
    } catch (const std::exception &failure) {
        Log::line(component, QStringLiteral("Failed to load user profile: ") + describe(failure));
    }
}

QCoro::Task<bool> SupabaseManager::registerAccount(QString email, QString password, std::optional<QString> fullName)
{
    std::optional<QJsonObject> metadata;
    if (fullName) {
        metadata = QJsonObject{{QStringLiteral("full_name"), *fullName}};
    }
    QCoro::Task<std::optional<AuthSession>> creating =
        m_client.createAccount(std::move(email), std::move(password), std::move(metadata), QUrl(confirmRedirect));
    const std::optional<AuthSession> session = co_await std::move(creating);
    co_return !session.has_value();
}

QCoro::Task<> SupabaseManager::verifyEmailCode(QString email, QString code, EmailOtpType type)
{
    QCoro::Task<std::optional<AuthSession>> verifying =
        m_client.verifyEmailCode(std::move(email), std::move(code), type);
    co_await std::move(verifying);
}

EmailOtpType SupabaseManager::emailOtpType(const QString &type)
{
    const QString lowered = type.toLower();
    for (const EmailOtpType known : {EmailOtpType::Signup, EmailOtpType::Invite, EmailOtpType::Magiclink,
                                     EmailOtpType::Recovery, EmailOtpType::EmailChange, EmailOtpType::Email}) {
        if (emailOtpTypeName(known) == lowered) {
            return known;
        }
    }
    return EmailOtpType::Recovery;
}

QCoro::Task<> SupabaseManager::verifyTokenHash(QString tokenHash, QString type)
{
    QCoro::Task<std::optional<AuthSession>> verifying =
        m_client.verifyLinkToken(std::move(tokenHash), emailOtpType(type));
    co_await std::move(verifying);
}

QCoro::Task<> SupabaseManager::resendConfirmation(QString email)
{
    return m_client.resendSignUpEmail(std::move(email), QUrl(confirmRedirect));
}

QCoro::Task<> SupabaseManager::sendPasswordlessCode(QString email)
{
    return m_client.requestEmailCode(std::move(email), QUrl(callbackRedirect), false);
}

QCoro::Task<> SupabaseManager::sendPasswordReset(QString email)
{
    return m_client.requestPasswordReset(std::move(email), QUrl(recoveryRedirect));
}

QCoro::Task<> SupabaseManager::updatePassword(QString newPassword)
{
    QCoro::Task<> changing = m_client.changePassword(std::move(newPassword));
    co_await std::move(changing);
    m_appState.exitPasswordRecovery();
}

QCoro::Task<> SupabaseManager::signInWithOAuth(OAuthProviderType provider)
{
    QPointer<SupabaseManager> self(this);
    QCoro::Task<QUrl> preparing = m_client.providerSignInUrl(signInProvider(provider), QUrl(callbackRedirect));
    const QUrl signInUrl = co_await std::move(preparing);
    if (!m_webAuth.start(signInUrl, callbackScheme)) {
        throw AuthError(AuthError::Kind::OAuthSessionFailed);
    }
    QCoro::Task<WebAuthOutcome> waiting = m_webAuth.completion();
    const WebAuthOutcome outcome = co_await std::move(waiting);
    if (outcome.errorCode) {
        if (*outcome.errorCode == WebAuthOutcome::cancelledByUser) {
            throw AuthError(AuthError::Kind::OAuthCancelled);
        }
        throw WebAuthSessionError(*outcome.errorCode, outcome.errorDescription);
    }
    if (!outcome.callbackUrl) {
        throw AuthError(AuthError::Kind::OAuthNoCallback);
    }
    if (!self) {
        co_return;
    }
    QCoro::Task<AuthSession> exchanging = m_client.completeFromCallbackUrl(*outcome.callbackUrl);
    co_await std::move(exchanging);
}

void SupabaseManager::setAccessToken(std::optional<QString> token)
{
    if (m_accessToken == token) {
        return;
    }
    m_accessToken = std::move(token);
    Q_EMIT accessTokenChanged();
}

void SupabaseManager::setIsAuthenticated(bool authenticated)
{
    if (m_isAuthenticated == authenticated) {
        return;
    }
    m_isAuthenticated = authenticated;
    Q_EMIT isAuthenticatedChanged();
}
