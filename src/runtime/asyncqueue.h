#pragma once

#include <coroutine>
#include <deque>
#include <optional>
#include <utility>

// An ordered single-consumer stream of values between a producer and a coroutine that awaits them one at a time.
// A value pushed while the consumer waits is handed over at once: the consumer runs until its next suspension
// before push() returns. Values pushed while it is busy wait in order. Share it through std::shared_ptr so it
// outlives both ends.
template <typename T>
class AsyncQueue
{
public:
    AsyncQueue() = default;
    AsyncQueue(const AsyncQueue &) = delete;
    AsyncQueue &operator=(const AsyncQueue &) = delete;
    ~AsyncQueue() = default;

    void push(T value)
    {
        if (m_closed) {
            return;
        }
        m_items.push_back(std::move(value));
        resumeWaiter();
    }

    // Ends the stream: once the values already pushed are taken, next() yields nothing. Either end may close it.
    void close()
    {
        m_closed = true;
        resumeWaiter();
    }

    bool isClosed() const { return m_closed; }

    // Awaitable: the next value in push order, or nothing when the stream has ended.
    auto next()
    {
        struct Awaiter
        {
            AsyncQueue &queue;
            bool await_ready() const noexcept { return !queue.m_items.empty() || queue.m_closed; }
            void await_suspend(std::coroutine_handle<> waiting) noexcept { queue.m_waiter = waiting; }
            std::optional<T> await_resume()
            {
                if (queue.m_items.empty()) {
                    return std::nullopt;
                }
                T value = std::move(queue.m_items.front());
                queue.m_items.pop_front();
                return value;
            }
        };
        return Awaiter{*this};
    }

private:
    void resumeWaiter()
    {
        if (auto waiting = std::exchange(m_waiter, {})) {
            waiting.resume();
        }
    }

    std::deque<T> m_items;
    std::coroutine_handle<> m_waiter;
    bool m_closed = false;
};
