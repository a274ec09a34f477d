#pragma once

#include <coroutine>
#include <deque>
#include <utility>

// Lets coroutines on one thread run a section one after another, in the order they asked:
//     const AsyncMutex::Guard guard = co_await m_mutex.lock();
// The guard unlocks when it goes out of scope and resumes the next waiter at once.
class AsyncMutex
{
public:
    class Guard
    {
    public:
        explicit Guard(AsyncMutex *mutex)
            : m_mutex(mutex)
        {}
        Guard(Guard &&other) noexcept
            : m_mutex(std::exchange(other.m_mutex, nullptr))
        {}
        Guard(const Guard &) = delete;
        Guard &operator=(const Guard &) = delete;
        Guard &operator=(Guard &&) = delete;
        ~Guard()
        {
            if (m_mutex) {
                m_mutex->unlock();
            }
        }

    private:
        AsyncMutex *m_mutex;
    };

    AsyncMutex() = default;
    AsyncMutex(const AsyncMutex &) = delete;
    AsyncMutex &operator=(const AsyncMutex &) = delete;

    auto lock()
    {
        struct Awaiter
        {
            AsyncMutex &mutex;
            bool await_ready() noexcept
            {
                if (mutex.m_locked) {
                    return false;
                }
                mutex.m_locked = true;
                return true;
            }
            void await_suspend(std::coroutine_handle<> waiting) { mutex.m_waiting.push_back(waiting); }
            Guard await_resume() noexcept { return Guard(&mutex); }
        };
        return Awaiter{*this};
    }

private:
    // The lock passes straight to the next waiter, so it stays taken while anyone waits.
    void unlock()
    {
        if (m_waiting.empty()) {
            m_locked = false;
            return;
        }
        const std::coroutine_handle<> next = m_waiting.front();
        m_waiting.pop_front();
        next.resume();
    }

    bool m_locked = false;
    std::deque<std::coroutine_handle<>> m_waiting;
};
