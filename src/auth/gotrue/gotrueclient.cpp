#include "auth/gotrue/gotrueclient.h"

#include "auth/gotrue/callbackparameters.h"
#include "auth/gotrue/identityserviceerror.h"
#include "auth/gotrue/pkcepair.h"
#include "platform/sessionstorage.h"

#include <QJsonValue>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcGoTrue, "lumora.auth.gotrue")

const QString recoveryMarker = QStringLiteral("/PASSWORD_RECOVERY");

QJsonObject captchaFree()
{
    return QJsonObject{{QStringLiteral("captcha_token"), QJsonValue::Null}};
}

GoTrueApi::Query redirectQuery(const QUrl &redirect)
{
    if (redirect.isEmpty()) {
        return {};
    }
    return {{QStringLiteral("redirect_to"), redirect.toString(QUrl::FullyEncoded)}};
}

// A stored verifier is a JSON string, "<verifier>" or "<verifier>/PASSWORD_RECOVERY"; a bare string is read too.
QString storedVerifierText(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes).trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"'))) {
        text = text.mid(1, text.size() - 2);
    }
    return text;
}

} // namespace

GoTrueClient::GoTrueClient(QUrl projectUrl, QString anonKey, HttpTransport &transport, SessionStorage &storage,
                           Scheduler &scheduler)
    : m_api(std::move(projectUrl), std::move(anonKey), transport)
    , m_storage(storage)
    , m_scheduler(scheduler)
    , m_sessionKey(QStringLiteral("sb-%1-auth-token").arg(m_api.projectRef()))
    , m_verifierKey(m_sessionKey + QStringLiteral("-code-verifier"))
    , m_session(m_api, storage, scheduler, m_sessionKey, m_verifierKey)
{}

GoTrueClient::~GoTrueClient() = default;

QCoro::Task<> GoTrueClient::start()
{
    return m_session.start();
}

std::shared_ptr<AuthEventStream> GoTrueClient::authEvents()
{
    return m_session.subscribe();
}

// --- Sign-in paths -----------------------------------------------------------------------------------------------

QCoro::Task<std::optional<AuthSession>> GoTrueClient::createAccount(QString email, QString password,
                                                                    std::optional<QJsonObject> metadata, QUrl redirect)
{
    QCoro::Task<PkcePair> starting = startPkceFlow(false);
    const PkcePair pkce = co_await std::move(starting);
    QJsonObject body{{QStringLiteral("email"), email},
                     {QStringLiteral("password"), password},
                     {QStringLiteral("gotrue_meta_security"), captchaFree()},
                     {QStringLiteral("code_challenge"), pkce.challenge},
                     {QStringLiteral("code_challenge_method"), QStringLiteral("s256")}};
    if (metadata) {
        body.insert(QStringLiteral("data"), *metadata);
    }
    GoTrueApi::Call call{"POST", QStringLiteral("/signup"), redirectQuery(redirect), body, {}};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    QJsonObject answer = co_await std::move(sending);
    QCoro::Task<std::optional<AuthSession>> adopting = adoptIfSession(std::move(answer), false);
    co_return co_await std::move(adopting);
}

QCoro::Task<AuthSession> GoTrueClient::passwordSignIn(QString email, QString password)
{
    GoTrueApi::Call call{"POST",
                         QStringLiteral("/token"),
                         {{QStringLiteral("grant_type"), QStringLiteral("password")}},
                         QJsonObject{{QStringLiteral("email"), email},
                                     {QStringLiteral("password"), password},
                                     {QStringLiteral("gotrue_meta_security"), captchaFree()}},
                         {}};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    QJsonObject answer = co_await std::move(sending);
    QCoro::Task<std::optional<AuthSession>> adopting = adoptIfSession(std::move(answer), false);
    const std::optional<AuthSession> session = co_await std::move(adopting);
    if (!session) {
        throw IdentityServiceError::invalidResponse();
    }
    co_return *session;
}

QCoro::Task<> GoTrueClient::requestEmailCode(QString email, QUrl redirect, bool createUser)
{
    QCoro::Task<PkcePair> starting = startPkceFlow(false);
    const PkcePair pkce = co_await std::move(starting);
    GoTrueApi::Call call{"POST",
                         QStringLiteral("/otp"),
                         redirectQuery(redirect),
                         QJsonObject{{QStringLiteral("email"), email},
                                     {QStringLiteral("create_user"), createUser},
                                     {QStringLiteral("gotrue_meta_security"), captchaFree()},
                                     {QStringLiteral("code_challenge"), pkce.challenge},
                                     {QStringLiteral("code_challenge_method"), QStringLiteral("s256")}},
                         {}};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    co_await std::move(sending);
}

QCoro::Task<std::optional<AuthSession>> GoTrueClient::verifyEmailCode(QString email, QString code, EmailOtpType type)
{
    GoTrueApi::Call call{"POST",
                         QStringLiteral("/verify"),
                         {},
                         QJsonObject{{QStringLiteral("email"), email},
                                     {QStringLiteral("token"), code},
                                     {QStringLiteral("type"), emailOtpTypeName(type)}},
                         {}};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    QJsonObject answer = co_await std::move(sending);
    QCoro::Task<std::optional<AuthSession>> adopting =
        adoptIfSession(std::move(answer), type == EmailOtpType::Recovery);
    co_return co_await std::move(adopting);
}

QCoro::Task<std::optional<AuthSession>> GoTrueClient::verifyLinkToken(QString tokenHash, EmailOtpType type)
{
    // The service refuses anything besides these two fields in a token-hash verification.
    GoTrueApi::Call call{
        "POST",
        QStringLiteral("/verify"),
        {},
        QJsonObject{{QStringLiteral("token_hash"), tokenHash}, {QStringLiteral("type"), emailOtpTypeName(type)}},
        {}};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    QJsonObject answer = co_await std::move(sending);
    QCoro::Task<std::optional<AuthSession>> adopting =
        adoptIfSession(std::move(answer), type == EmailOtpType::Recovery);
    co_return co_await std::move(adopting);
}

QCoro::Task<> GoTrueClient::resendSignUpEmail(QString email, QUrl redirect)
{
    GoTrueApi::Call call{"POST",
                         QStringLiteral("/resend"),
                         redirectQuery(redirect),
                         QJsonObject{{QStringLiteral("type"), QStringLiteral("signup")},
                                     {QStringLiteral("email"), email},
                                     {QStringLiteral("gotrue_meta_security"), captchaFree()}},
                         {}};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    co_await std::move(sending);
}

QCoro::Task<> GoTrueClient::requestPasswordReset(QString email, QUrl redirect)
{
    QCoro::Task<PkcePair> starting = startPkceFlow(true);
    const PkcePair pkce = co_await std::move(starting);
    GoTrueApi::Call call{"POST",
                         QStringLiteral("/recover"),
                         redirectQuery(redirect),
                         QJsonObject{{QStringLiteral("email"), email},
                                     {QStringLiteral("gotrue_meta_security"), captchaFree()},
                                     {QStringLiteral("code_challenge"), pkce.challenge},
                                     {QStringLiteral("code_challenge_method"), QStringLiteral("s256")}},
                         {}};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    co_await std::move(sending);
}

QCoro::Task<AuthSession> GoTrueClient::installSession(QString accessToken, QString refreshToken)
{
    const std::optional<qint64> expiry = GoTrueSession::tokenExpiry(accessToken);
    const qint64 now = m_scheduler.now().toSecsSinceEpoch();
    std::optional<GoTrueSession> session;
    if (!expiry || *expiry - now < SessionKeeper::refreshMarginSeconds) {
        // Expired, about to, or unreadable: the refresh token alone yields a complete session.
        QCoro::Task<QJsonObject> refreshing = m_api.refreshGrant(std::move(refreshToken));
        const QJsonObject answer = co_await std::move(refreshing);
        session = GoTrueSession::fromTokenResponse(answer, m_scheduler.now());
    } else {
        QCoro::Task<QJsonObject> fetching = m_api.user(accessToken);
        const QJsonObject user = co_await std::move(fetching);
        session = GoTrueSession::fromTokenResponse(QJsonObject{{QStringLiteral("access_token"), accessToken},
                                                               {QStringLiteral("token_type"), QStringLiteral("bearer")},
                                                               {QStringLiteral("expires_in"), *expiry - now},
                                                               {QStringLiteral("expires_at"), *expiry},
                                                               {QStringLiteral("refresh_token"), refreshToken},
                                                               {QStringLiteral("user"), user}},
                                                   m_scheduler.now());
    }
    if (!session) {
        throw IdentityServiceError::invalidResponse();
    }
    const AuthSession installed = session->toAuthSession();
    QCoro::Task<> adopting = m_session.adopt(std::move(*session), false);
    co_await std::move(adopting);
    co_return installed;
}

QCoro::Task<AuthSession> GoTrueClient::completeFromCallbackUrl(QUrl callbackUrl)
{
    const CallbackParameters parameters(callbackUrl);
    const auto error = parameters.value(QStringLiteral("error"));
    const auto errorCode = parameters.value(QStringLiteral("error_code"));
    const auto errorDescription = parameters.value(QStringLiteral("error_description"));
    if (error || errorCode || errorDescription) {
        const QString code = errorCode.value_or(error.value_or(QString()));
        QString message = errorDescription.value_or(QString());
        if (message.isEmpty()) {
            message = code.isEmpty() ? QStringLiteral("The sign-in failed") : code;
        }
        throw IdentityServiceError(0, code, message);
    }
    if (const auto code = parameters.value(QStringLiteral("code"))) {
        QCoro::Task<AuthSession> exchanging = exchangeCode(*code);
        co_return co_await std::move(exchanging);
    }
    const auto accessToken = parameters.value(QStringLiteral("access_token"));
    const auto refreshToken = parameters.value(QStringLiteral("refresh_token"));
    const qint64 expiresIn = parameters.value(QStringLiteral("expires_in")).value_or(QString()).toLongLong();
    const qint64 expiresAt = parameters.value(QStringLiteral("expires_at")).value_or(QString()).toLongLong();
    if (!accessToken || accessToken->isEmpty() || !refreshToken || refreshToken->isEmpty() || expiresIn <= 0) {
        throw IdentityServiceError::invalidCallback();
    }
    const bool recovery = parameters.value(QStringLiteral("type")) == QStringLiteral("recovery");
    QCoro::Task<AuthSession> completing =
        sessionFromFragment(*accessToken, *refreshToken, expiresIn, expiresAt, recovery);
    co_return co_await std::move(completing);
}

QCoro::Task<AuthSession> GoTrueClient::exchangeCode(QString code)
{
    QCoro::Task<std::optional<QByteArray>> reading = m_storage.retrieve(m_verifierKey);
    const std::optional<QByteArray> stored = co_await std::move(reading);
    QString verifier = stored ? storedVerifierText(*stored) : QString();
    const bool recovery = verifier.endsWith(recoveryMarker);
    if (recovery) {
        verifier.chop(recoveryMarker.size());
    }
    if (verifier.isEmpty()) {
        throw IdentityServiceError::verifierMissing();
    }
    GoTrueApi::Call call{"POST",
                         QStringLiteral("/token"),
                         {{QStringLiteral("grant_type"), QStringLiteral("pkce")}},
                         QJsonObject{{QStringLiteral("auth_code"), code}, {QStringLiteral("code_verifier"), verifier}},
                         {}};
    QJsonObject answer;
    std::exception_ptr failure;
    try {
        QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
        answer = co_await std::move(sending);
    } catch (...) {
        failure = std::current_exception();
    }
    // A code is good for one attempt, and so is its verifier.
    try {
        QCoro::Task<> removing = m_storage.remove(m_verifierKey);
        co_await std::move(removing);
    } catch (const std::exception &removal) {
        qCWarning(lcGoTrue) << "Could not remove the code verifier:" << describe(removal);
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    QCoro::Task<std::optional<AuthSession>> adopting = adoptIfSession(std::move(answer), recovery);
    const std::optional<AuthSession> session = co_await std::move(adopting);
    if (!session) {
        throw IdentityServiceError::invalidResponse();
    }
    co_return *session;
}

QCoro::Task<AuthSession> GoTrueClient::sessionFromFragment(QString accessToken, QString refreshToken, qint64 expiresIn,
                                                           qint64 expiresAt, bool recovery)
{
    QCoro::Task<QJsonObject> fetching = m_api.user(accessToken);
    const QJsonObject user = co_await std::move(fetching);
    QJsonObject response{{QStringLiteral("access_token"), accessToken},
                         {QStringLiteral("token_type"), QStringLiteral("bearer")},
                         {QStringLiteral("expires_in"), expiresIn},
                         {QStringLiteral("refresh_token"), refreshToken},
                         {QStringLiteral("user"), user}};
    if (expiresAt > 0) {
        response.insert(QStringLiteral("expires_at"), expiresAt);
    }
    QCoro::Task<std::optional<AuthSession>> adopting = adoptIfSession(std::move(response), recovery);
    const std::optional<AuthSession> session = co_await std::move(adopting);
    if (!session) {
        throw IdentityServiceError::invalidCallback();
    }
    co_return *session;
}

QCoro::Task<QUrl> GoTrueClient::providerSignInUrl(SignInProvider provider, QUrl redirect)
{
    QCoro::Task<PkcePair> starting = startPkceFlow(false);
    const PkcePair pkce = co_await std::move(starting);
    GoTrueApi::Query query{{QStringLiteral("provider"),
                            provider == SignInProvider::Apple ? QStringLiteral("apple") : QStringLiteral("google")}};
    query.append(redirectQuery(redirect));
    query.append({QStringLiteral("code_challenge"), pkce.challenge});
    query.append({QStringLiteral("code_challenge_method"), QStringLiteral("s256")});
    co_return m_api.endpoint(QStringLiteral("/authorize"), query);
}

QCoro::Task<PkcePair> GoTrueClient::startPkceFlow(bool recovery)
{
    const PkcePair pkce = PkcePair::generate();
    const QString stored =
        QLatin1Char('"') + pkce.verifier + (recovery ? recoveryMarker : QString()) + QLatin1Char('"');
    QCoro::Task<> storing = m_storage.store(m_verifierKey, stored.toUtf8());
    co_await std::move(storing);
    co_return pkce;
}

// --- The signed-in session ---------------------------------------------------------------------------------------

QCoro::Task<> GoTrueClient::changePassword(QString newPassword)
{
    QCoro::Task<GoTrueSession> validating = m_session.validSession();
    const GoTrueSession session = co_await std::move(validating);
    GoTrueApi::Call call{"PUT",
                         QStringLiteral("/user"),
                         {},
                         QJsonObject{{QStringLiteral("password"), newPassword}},
                         session.accessToken()};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    QJsonObject user = co_await std::move(sending);
    QCoro::Task<> updating = m_session.updateUser(session.accessToken(), std::move(user));
    co_await std::move(updating);
}

QCoro::Task<> GoTrueClient::signOutGlobally()
{
    QCoro::Task<SessionKeeper::Ended> ending = m_session.end();
    const SessionKeeper::Ended ended = co_await std::move(ending);
    std::exception_ptr failure = ended.storageFailure;
    if (ended.session) {
        try {
            QCoro::Task<> revoking = revoke(*ended.session);
            co_await std::move(revoking);
        } catch (const IdentityServiceError &error) {
            // The service no longer knows the session: it is over there too.
            if (error.status() != 401 && error.status() != 403 && error.status() != 404) {
                failure = std::current_exception();
            }
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

// Ends the session on the service with a usable access token: an expired one is swapped for a fresh one first
// (the service rejects expired tokens, and the refresh token would otherwise stay valid).
QCoro::Task<> GoTrueClient::revoke(GoTrueSession session)
{
    QString accessToken = session.accessToken();
    if (session.secondsLeft(m_scheduler.now()) <= 0) {
        try {
            QCoro::Task<QJsonObject> refreshing = m_api.refreshGrant(session.refreshToken());
            const QJsonObject answer = co_await std::move(refreshing);
            accessToken = answer.value(QStringLiteral("access_token")).toString(accessToken);
        } catch (const std::exception &failure) {
            qCInfo(lcGoTrue) << "Could not renew the expired session before signing out:" << describe(failure);
        }
    }
    GoTrueApi::Call call{"POST",
                         QStringLiteral("/logout"),
                         {{QStringLiteral("scope"), QStringLiteral("global")}},
                         std::nullopt,
                         accessToken};
    QCoro::Task<QJsonObject> sending = m_api.send(std::move(call));
    co_await std::move(sending);
}

QCoro::Task<AuthSession> GoTrueClient::renewSession()
{
    QCoro::Task<GoTrueSession> refreshing = m_session.refresh();
    const GoTrueSession session = co_await std::move(refreshing);
    co_return session.toAuthSession();
}

QCoro::Task<std::optional<AuthSession>> GoTrueClient::adoptIfSession(QJsonObject answer, bool recovery)
{
    std::optional<GoTrueSession> session = GoTrueSession::fromTokenResponse(std::move(answer), m_scheduler.now());
    if (!session) {
        co_return std::nullopt;
    }
    const AuthSession adopted = session->toAuthSession();
    QCoro::Task<> adopting = m_session.adopt(std::move(*session), recovery);
    co_await std::move(adopting);
    co_return adopted;
}
