#include "platform/linux/secretservicecall.h"

#include <gio/gio.h>

SecretServiceCall::SecretServiceCall()
    : m_phaseStart(std::chrono::steady_clock::now())
    , m_cancellable(g_cancellable_new())
{
    m_promise.start();
}

SecretServiceCall::~SecretServiceCall()
{
    g_object_unref(m_cancellable);
}

QFuture<Keychain::ReadResult> SecretServiceCall::answer()
{
    return m_promise.future();
}

void SecretServiceCall::enterPhase(Phase phase)
{
    const std::lock_guard lock(m_mutex);
    m_phase = phase;
    m_phaseStart = std::chrono::steady_clock::now();
}

bool SecretServiceCall::settle(Keychain::ReadResult result)
{
    const std::lock_guard lock(m_mutex);
    if (m_settled) {
        return false;
    }
    m_settled = true;
    m_promise.addResult(std::move(result));
    m_promise.finish();
    return true;
}

SecretServiceCall::Phase SecretServiceCall::phase() const
{
    const std::lock_guard lock(m_mutex);
    return m_phase;
}

std::chrono::steady_clock::duration SecretServiceCall::timeInPhase() const
{
    const std::lock_guard lock(m_mutex);
    return std::chrono::steady_clock::now() - m_phaseStart;
}

void SecretServiceCall::abandon(int status)
{
    if (settle(Keychain::ReadResult{.status = status})) {
        g_cancellable_cancel(m_cancellable);
    }
}
