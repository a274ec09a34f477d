#pragma once

#include "auth/gotrue/gotruesession.h"

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

// The outcome of one refresh request, shared by every caller that asked for a refresh while it was in flight:
// refresh tokens are single-use, so a second request with the same token would be refused.
class PendingRefresh
{
public:
    PendingRefresh() = default;
    PendingRefresh(const PendingRefresh &) = delete;
    PendingRefresh &operator=(const PendingRefresh &) = delete;

    void succeed(GoTrueSession session)
    {
        m_session = std::move(session);
        finish();
    }
    void fail(std::exception_ptr failure)
    {
        m_failure = std::move(failure);
        finish();
    }

    // Awaitable: the refreshed session, or the refresh's failure rethrown.
    auto outcome()
    {
        struct Awaiter
        {
            PendingRefresh &pending;
            bool await_ready() const noexcept { return pending.m_finished; }
            void await_suspend(std::coroutine_handle<> waiting) { pending.m_waiters.push_back(waiting); }
            GoTrueSession await_resume() const
            {
                if (pending.m_failure) {
                    std::rethrow_exception(pending.m_failure);
                }
                return *pending.m_session;
            }
        };
        return Awaiter{*this};
    }

private:
    void finish()
    {
        m_finished = true;
        for (const std::coroutine_handle<> waiting : std::exchange(m_waiters, {})) {
            waiting.resume();
        }
    }

    bool m_finished = false;
    std::optional<GoTrueSession> m_session;
    std::exception_ptr m_failure;
    std::vector<std::coroutine_handle<>> m_waiters;
};
