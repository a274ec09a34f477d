#pragma once

#include "auth/gotrue/autheventhub.h"
#include "auth/gotrue/gotruesession.h"
#include "runtime/scheduler.h"

#include <exception>
#include <memory>
#include <optional>

class GoTrueApi;
class PendingRefresh;
class SessionStorage;

// The identity client's signed-in session: kept in memory and in storage, restored at start, renewed on the
// scheduler before it expires (one refresh request at a time), and announced through the event subscriptions.
class SessionKeeper
{
public:
    // The automatic refresh looks at the session this often ...
    static constexpr double refreshCheckIntervalSeconds = 30.0;
    // ... and renews it once less than this is left. validSession() and start() renew by the same rule.
    static constexpr double refreshMarginSeconds = 120.0;

    // What ending the session locally left behind.
    struct Ended
    {
        std::optional<GoTrueSession> session;
        // A storage failure while removing it; the session is gone from memory all the same.
        std::exception_ptr storageFailure;
    };

    SessionKeeper(GoTrueApi &api, SessionStorage &storage, Scheduler &scheduler, QString sessionKey,
                  QString verifierKey);
    SessionKeeper(const SessionKeeper &) = delete;
    SessionKeeper &operator=(const SessionKeeper &) = delete;
    ~SessionKeeper();

    // Restores the stored session (renewed first when about to expire; a refused renewal removes it, an
    // unreachable service keeps it), opens the event subscriptions and starts the automatic refresh. Never fails.
    QCoro::Task<> start();
    std::shared_ptr<AuthEventStream> subscribe();

    const std::optional<GoTrueSession> &current() const { return m_session; }
    // Stores `session`, makes it current and announces SignedIn (then PasswordRecovery for a recovery). A storage
    // failure is thrown and changes nothing.
    QCoro::Task<> adopt(GoTrueSession session, bool recovery);
    // Replaces the user of the session with access token `accessToken`, if it is still the current one, stores it
    // and announces UserUpdated.
    QCoro::Task<> updateUser(QString accessToken, QJsonObject user);
    // Forgets the session, removes it and any code verifier from storage, and announces SignedOut.
    QCoro::Task<Ended> end();

    // The current session, renewed first when it is about to expire; fails without one.
    QCoro::Task<GoTrueSession> validSession();
    // Renews the current session. Calls made while a renewal is in flight share its outcome. TokenRefreshed is
    // announced before it returns; a refusal by the service ends the session (SignedOut) and is thrown.
    QCoro::Task<GoTrueSession> refresh();

private:
    std::optional<AuthSession> currentAuthSession() const;
    QCoro::Task<GoTrueSession> refreshCurrent();
    QCoro::Task<> removeStored(QString context);
    void checkExpiry();
    QCoro::Task<> refreshInBackground();
    void publish(AuthEvent event);

    GoTrueApi &m_api;
    SessionStorage &m_storage;
    Scheduler &m_scheduler;
    QString m_sessionKey;
    QString m_verifierKey;
    std::optional<GoTrueSession> m_session;
    // Counts session changes, so a refresh can tell that the session it renewed was replaced meanwhile.
    quint64 m_generation = 0;
    std::shared_ptr<PendingRefresh> m_pendingRefresh;
    std::unique_ptr<RepeatingTimer> m_refreshTimer;
    bool m_started = false;
    AuthEventHub m_events;
};
