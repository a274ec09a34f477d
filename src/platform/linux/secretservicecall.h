#pragma once

#include "platform/keychain.h"

#include <QFuture>
#include <QPromise>

#include <chrono>
#include <mutex>

typedef struct _GCancellable GCancellable;

// One keychain operation shared between the worker thread that makes the blocking Secret Service calls and the main
// thread that waits for it. Whoever settles first decides the answer: the worker with the service's reply, or the
// main thread's watchdog with a timeout status when the service stopped answering.
class SecretServiceCall
{
public:
    // What the worker is waiting for: an ordinary reply of the service, or an unlock prompt shown to the user.
    enum class Phase
    {
        Reply,
        Prompt,
    };

    SecretServiceCall();
    ~SecretServiceCall();
    SecretServiceCall(const SecretServiceCall &) = delete;
    SecretServiceCall &operator=(const SecretServiceCall &) = delete;

    // Finishes with the first settled result.
    QFuture<Keychain::ReadResult> answer();

    // Worker side. The cancellable is passed to every blocking call and is cancelled when the call is abandoned.
    GCancellable *cancellable() const { return m_cancellable; }
    void enterPhase(Phase phase);
    // False when the call had already been settled (the answer came too late).
    bool settle(Keychain::ReadResult result);

    // Main-thread side.
    Phase phase() const;
    std::chrono::steady_clock::duration timeInPhase() const;
    // Settles with `status` and cancels whatever the worker is still waiting for.
    void abandon(int status);

private:
    mutable std::mutex m_mutex;
    Phase m_phase = Phase::Reply;
    std::chrono::steady_clock::time_point m_phaseStart;
    bool m_settled = false;
    QPromise<Keychain::ReadResult> m_promise;
    GCancellable *m_cancellable;
};
