#pragma once

#include <QCoroTask>
#include <QEventLoop>

#include <exception>
#include <optional>
#include <type_traits>

namespace detail {

template <typename T>
struct TaskOutcome
{
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr failure;
    bool finished = false;
};

template <typename T>
QCoro::Task<> settle(QCoro::Task<T> task, TaskOutcome<T> &outcome, QEventLoop &loop)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
        } else {
            outcome.value = co_await std::move(task);
        }
    } catch (...) {
        outcome.failure = std::current_exception();
    }
    outcome.finished = true;
    loop.quit();
}

} // namespace detail

// Runs `task` to its end inside a nested event loop and returns its result or rethrows its failure.
// (QCoro::waitFor never returns when the task throws.)
template <typename T>
T runTask(QCoro::Task<T> task)
{
    QEventLoop loop;
    detail::TaskOutcome<T> outcome;
    detail::settle(std::move(task), outcome, loop);
    if (!outcome.finished) {
        loop.exec();
    }
    if (outcome.failure) {
        std::rethrow_exception(outcome.failure);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*outcome.value);
    }
}
