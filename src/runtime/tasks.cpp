#include "runtime/tasks.h"

#include "runtime/error.h"
#include "runtime/logger.h"

namespace {

QCoro::Task<> logFailure(QCoro::Task<> task, QString component, QString what)
{
    try {
        co_await std::move(task);
    } catch (const std::exception &failure) {
        Log::line(component, what + QLatin1String(" failed: ") + describe(failure));
    } catch (...) {
        Log::line(component, what + QLatin1String(" failed"));
    }
}

QCoro::Task<> swallowFailure(QCoro::Task<> task)
{
    try {
        co_await std::move(task);
    } catch (...) {
    }
}

} // namespace

void startDetached(QCoro::Task<> task, QString component, QString what)
{
    logFailure(std::move(task), std::move(component), std::move(what));
}

void startDetachedIgnoringFailure(QCoro::Task<> task)
{
    swallowFailure(std::move(task));
}
