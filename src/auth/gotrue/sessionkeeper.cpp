#include "auth/gotrue/sessionkeeper.h"

#include "auth/gotrue/gotrueapi.h"
#include "auth/gotrue/identityserviceerror.h"
#include "auth/gotrue/pendingrefresh.h"
#include "platform/sessionstorage.h"
#include "runtime/tasks.h"

#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcGoTrue, "lumora.auth.gotrue")

} // namespace

SessionKeeper::SessionKeeper(GoTrueApi &api, SessionStorage &storage, Scheduler &scheduler, QString sessionKey,
                             QString verifierKey)
    : m_api(api)
    , m_storage(storage)
    , m_scheduler(scheduler)
    , m_sessionKey(std::move(sessionKey))
    , m_verifierKey(std::move(verifierKey))
{}

SessionKeeper::~SessionKeeper() = default;

QCoro::Task<> SessionKeeper::start()
{
    if (m_started) {
        co_return;
    }
    m_started = true;
    std::optional<QByteArray> stored;
    try {
        QCoro::Task<std::optional<QByteArray>> reading = m_storage.retrieve(m_sessionKey);
        stored = co_await std::move(reading);
    } catch (const std::exception &failure) {
        qCWarning(lcGoTrue) << "Could not read the stored session:" << describe(failure);
    }
    if (stored) {
        m_session = GoTrueSession::fromStored(*stored);
        if (!m_session) {
            qCWarning(lcGoTrue) << "The stored session is unusable and is removed";
            QCoro::Task<> removing = removeStored(QStringLiteral("the unusable session"));
            co_await std::move(removing);
        }
    }
    if (m_session && m_session->secondsLeft(m_scheduler.now()) < refreshMarginSeconds) {
        try {
            QCoro::Task<GoTrueSession> refreshing = refresh();
            co_await std::move(refreshing);
        } catch (const std::exception &failure) {
            qCInfo(lcGoTrue) << "Renewing the stored session failed:" << describe(failure);
        }
    }
    m_events.open(currentAuthSession());
    m_refreshTimer = m_scheduler.every(refreshCheckIntervalSeconds, [this] { checkExpiry(); });
}

std::shared_ptr<AuthEventStream> SessionKeeper::subscribe()
{
    return m_events.subscribe(currentAuthSession());
}

std::optional<AuthSession> SessionKeeper::currentAuthSession() const
{
    if (!m_session) {
        return std::nullopt;
    }
    return m_session->toAuthSession();
}

void SessionKeeper::publish(AuthEvent event)
{
    m_events.publish({event, currentAuthSession()});
}

QCoro::Task<> SessionKeeper::adopt(GoTrueSession session, bool recovery)
{
    QCoro::Task<> storing = m_storage.store(m_sessionKey, session.toStored());
    co_await std::move(storing);
    m_session = std::move(session);
    ++m_generation;
    publish(AuthEvent::SignedIn);
    if (recovery) {
        publish(AuthEvent::PasswordRecovery);
    }
}

QCoro::Task<> SessionKeeper::updateUser(QString accessToken, QJsonObject user)
{
    if (!m_session || m_session->accessToken() != accessToken) {
        // Signed out or replaced meanwhile: the user belongs to a session that is no longer kept.
        co_return;
    }
    GoTrueSession updated = *m_session;
    updated.setUser(std::move(user));
    QCoro::Task<> storing = m_storage.store(m_sessionKey, updated.toStored());
    co_await std::move(storing);
    m_session = std::move(updated);
    ++m_generation;
    publish(AuthEvent::UserUpdated);
}

QCoro::Task<SessionKeeper::Ended> SessionKeeper::end()
{
    Ended ended{std::exchange(m_session, std::nullopt), nullptr};
    ++m_generation;
    const QStringList keys{m_sessionKey, m_verifierKey};
    for (const QString &key : keys) {
        try {
            QCoro::Task<> removing = m_storage.remove(key);
            co_await std::move(removing);
        } catch (...) {
            if (!ended.storageFailure) {
                ended.storageFailure = std::current_exception();
            }
        }
    }
    publish(AuthEvent::SignedOut);
    co_return ended;
}

QCoro::Task<GoTrueSession> SessionKeeper::validSession()
{
    if (!m_session) {
        throw IdentityServiceError::sessionMissing();
    }
    if (m_session->secondsLeft(m_scheduler.now()) >= refreshMarginSeconds) {
        co_return GoTrueSession(*m_session); // a copy: QCoro 0.8 moves from lvalues given to co_return
    }
    QCoro::Task<GoTrueSession> refreshing = refresh();
    co_return co_await std::move(refreshing);
}

QCoro::Task<GoTrueSession> SessionKeeper::refresh()
{
    if (const std::shared_ptr<PendingRefresh> joined = m_pendingRefresh) {
        auto outcome = joined->outcome();
        GoTrueSession shared = co_await outcome;
        co_return shared;
    }
    const auto pending = std::make_shared<PendingRefresh>();
    m_pendingRefresh = pending;
    std::optional<GoTrueSession> session;
    try {
        QCoro::Task<GoTrueSession> refreshing = refreshCurrent();
        session = co_await std::move(refreshing);
    } catch (...) {
        m_pendingRefresh.reset();
        pending->fail(std::current_exception());
        throw;
    }
    m_pendingRefresh.reset();
    pending->succeed(*session);
    co_return *session;
}

QCoro::Task<GoTrueSession> SessionKeeper::refreshCurrent()
{
    if (!m_session) {
        throw IdentityServiceError::sessionMissing();
    }
    const quint64 generation = m_generation;
    QJsonObject answer;
    std::exception_ptr refusal;
    try {
        QCoro::Task<QJsonObject> refreshing = m_api.refreshGrant(m_session->refreshToken());
        answer = co_await std::move(refreshing);
    } catch (const IdentityServiceError &error) {
        // Refused (used, revoked or unknown token): the session is over. Anything else may pass: keep it.
        if (!error.isRefusal() || generation != m_generation) {
            throw;
        }
        refusal = std::current_exception();
    }
    if (refusal) {
        m_session.reset();
        ++m_generation;
        QCoro::Task<> removing = removeStored(QStringLiteral("the refused session"));
        co_await std::move(removing);
        publish(AuthEvent::SignedOut);
        std::rethrow_exception(refusal);
    }
    if (generation != m_generation) {
        // Signed out or signed in again while the request was out: what is kept now wins.
        if (!m_session) {
            throw IdentityServiceError::sessionMissing();
        }
        co_return GoTrueSession(*m_session); // a copy: QCoro 0.8 moves from lvalues given to co_return
    }
    std::optional<GoTrueSession> session = GoTrueSession::fromTokenResponse(std::move(answer), m_scheduler.now());
    if (!session) {
        throw IdentityServiceError::invalidResponse();
    }
    // The old refresh token is spent: keep and announce the new session before storing it, so a storage failure
    // cannot leave the program with a dead token.
    m_session = session;
    ++m_generation;
    publish(AuthEvent::TokenRefreshed);
    try {
        QCoro::Task<> storing = m_storage.store(m_sessionKey, session->toStored());
        co_await std::move(storing);
    } catch (const std::exception &failure) {
        qCWarning(lcGoTrue) << "Could not store the renewed session:" << describe(failure);
    }
    co_return *session;
}

// Removes the session and any code verifier from storage; failures are only logged.
QCoro::Task<> SessionKeeper::removeStored(QString context)
{
    const QStringList keys{m_sessionKey, m_verifierKey};
    for (const QString &key : keys) {
        try {
            QCoro::Task<> removing = m_storage.remove(key);
            co_await std::move(removing);
        } catch (const std::exception &failure) {
            qCWarning(lcGoTrue).noquote() << "Could not remove" << context << "from storage:" << describe(failure);
        }
    }
}

void SessionKeeper::checkExpiry()
{
    if (!m_session || m_pendingRefresh || m_session->secondsLeft(m_scheduler.now()) >= refreshMarginSeconds) {
        return;
    }
    startDetachedIgnoringFailure(refreshInBackground());
}

QCoro::Task<> SessionKeeper::refreshInBackground()
{
    try {
        QCoro::Task<GoTrueSession> refreshing = refresh();
        co_await std::move(refreshing);
    } catch (const std::exception &failure) {
        qCInfo(lcGoTrue) << "Automatic session renewal failed:" << describe(failure);
    }
}
