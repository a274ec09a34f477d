#pragma once

#include "runtime/error.h"
#include "support/runtask.h"

#include <QCoroTask>

#include <exception>
#include <gtest/gtest.h>
#include <optional>

// Runs `task` to its end and returns what it threw, or nullptr when it succeeded.
template <typename T>
std::exception_ptr failureOf(QCoro::Task<T> task)
{
    try {
        runTask(std::move(task));
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

// The failure of `task` when it is of type `Failure`; none (and a test failure) when it succeeded or threw
// something else.
template <typename Failure, typename T>
std::optional<Failure> failureOfType(QCoro::Task<T> task)
{
    const std::exception_ptr failure = failureOf(std::move(task));
    if (!failure) {
        ADD_FAILURE() << "the task succeeded";
        return std::nullopt;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const Failure &expected) {
        return expected;
    } catch (const std::exception &other) {
        ADD_FAILURE() << "the task failed with another error: " << other.what();
    } catch (...) {
        ADD_FAILURE() << "the task failed with a non-standard exception";
    }
    return std::nullopt;
}

// The user-facing description of what `task` threw; empty (and a test failure) when it succeeded.
template <typename T>
QString failureDescription(QCoro::Task<T> task)
{
    const std::exception_ptr failure = failureOf(std::move(task));
    if (!failure) {
        ADD_FAILURE() << "the task succeeded";
        return {};
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &error) {
        return describe(error);
    } catch (...) {
        ADD_FAILURE() << "the task failed with a non-standard exception";
    }
    return {};
}
