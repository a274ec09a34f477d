#include "runtime/scheduler.h"

#include <coroutine>

namespace {

struct SleepAwaiter
{
    Scheduler &scheduler;
    double seconds;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting)
    {
        scheduler.postAfter(seconds, [waiting] { waiting.resume(); });
    }
    void await_resume() const noexcept {}
};

} // namespace

RepeatingTimer::~RepeatingTimer() = default;

Scheduler::~Scheduler() = default;

QCoro::Task<> Scheduler::sleep(double seconds)
{
    co_await SleepAwaiter{*this, seconds};
}
