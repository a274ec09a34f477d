#pragma once

#include <QCoroTask>
#include <QDateTime>

#include <functional>
#include <memory>

// A repeating timer handed out by Scheduler::every. It fires until invalidated; destroying the handle invalidates it.
class RepeatingTimer
{
public:
    virtual ~RepeatingTimer();
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

// The one source of time and deferral for program logic. Everything that the design queues on the main loop, every
// delay and every repeating timer goes through it, so unit tests drive time by hand instead of sleeping.
class Scheduler
{
public:
    using Job = std::function<void()>;

    Scheduler() = default;
    virtual ~Scheduler();
    Scheduler(const Scheduler &) = delete;
    Scheduler &operator=(const Scheduler &) = delete;

    // Runs `job` on a later turn of the main loop, after the jobs posted before it. Never cancelled. Safe to call
    // from any thread.
    virtual void post(Job job) = 0;
    // Runs `job` on the main loop once `seconds` have passed. Never cancelled.
    virtual void postAfter(double seconds, Job job) = 0;
    // Runs `job` every `seconds` until the returned timer is invalidated or destroyed.
    virtual std::unique_ptr<RepeatingTimer> every(double seconds, Job job) = 0;
    virtual QDateTime now() const = 0;

    // Suspends the calling task for `seconds` without blocking the main loop.
    QCoro::Task<> sleep(double seconds);
};
