#include "runtime/error.h"
#include "runtime/logger.h"
#include "runtime/manualscheduler.h"
#include "runtime/qtscheduler.h"
#include "runtime/tasks.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

TEST(ManualScheduler, RunsPostedJobsOnlyWhenPendingWorkIsRun)
{
    ManualScheduler scheduler;
    QStringList order;
    scheduler.post([&] { order << QStringLiteral("a"); });
    scheduler.post([&] {
        order << QStringLiteral("b");
        scheduler.post([&] { order << QStringLiteral("d"); });
    });
    scheduler.post([&] { order << QStringLiteral("c"); });
    EXPECT_TRUE(order.isEmpty());

    scheduler.runPending();

    EXPECT_EQ(order, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
}

TEST(ManualScheduler, DelayedJobsRunAtTheirDueTimeWithTheClockSetToIt)
{
    ManualScheduler scheduler;
    const QDateTime start = scheduler.now();
    QList<qint64> seenAt;
    scheduler.postAfter(3.0, [&] { seenAt << start.msecsTo(scheduler.now()); });
    scheduler.postAfter(2.0, [&] { seenAt << start.msecsTo(scheduler.now()); });

    scheduler.advance(1.999);
    EXPECT_TRUE(seenAt.isEmpty());
    scheduler.advance(5.0);

    EXPECT_EQ(seenAt, (QList<qint64>{2000, 3000}));
    EXPECT_EQ(start.msecsTo(scheduler.now()), 6999);
}

TEST(ManualScheduler, RepeatingTimerFiresUntilInvalidatedOrDestroyed)
{
    ManualScheduler scheduler;
    int ticks = 0;
    auto timer = scheduler.every(30.0, [&] { ++ticks; });
    scheduler.advance(95.0);
    EXPECT_EQ(ticks, 3);

    timer->invalidate();
    EXPECT_FALSE(timer->isValid());
    scheduler.advance(100.0);
    EXPECT_EQ(ticks, 3);

    int otherTicks = 0;
    scheduler.every(1.0, [&] { ++otherTicks; }); // handle dropped at once
    scheduler.advance(5.0);
    EXPECT_EQ(otherTicks, 0);
}

TEST(ManualScheduler, SleepResumesTheTaskOnlyWhenTheClockPassesTheDelay)
{
    ManualScheduler scheduler;
    bool resumed = false;
    auto sleeper = [&]() -> QCoro::Task<> {
        co_await scheduler.sleep(0.5);
        resumed = true;
    };
    auto task = sleeper();
    scheduler.advance(0.4);
    EXPECT_FALSE(resumed);
    scheduler.advance(0.1);
    EXPECT_TRUE(resumed);
}

TEST(QtScheduler, RunsPostedAndDelayedJobsOnTheEventLoopInOrder)
{
    QtScheduler scheduler;
    QStringList order;
    scheduler.postAfter(0.02, [&] {
        order << QStringLiteral("later");
        QCoreApplication::quit();
    });
    scheduler.post([&] { order << QStringLiteral("first"); });
    scheduler.post([&] { order << QStringLiteral("second"); });
    EXPECT_TRUE(order.isEmpty());

    QCoreApplication::exec();

    EXPECT_EQ(order, (QStringList{QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("later")}));
}

class TestFailure : public Error
{
public:
    QString description() const override { return QStringLiteral("the disk is full"); }
};

TEST(DetachedTask, LogsTheFailureOfATaskNobodyAwaits)
{
    CapturedLog log;
    ManualScheduler scheduler;
    auto failing = [&]() -> QCoro::Task<> {
        co_await scheduler.sleep(1.0);
        throw TestFailure();
    };
    startDetached(failing(), QStringLiteral("Recorder"), QStringLiteral("Saving"));
    EXPECT_TRUE(log.lines().isEmpty());

    scheduler.advance(1.0);

    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[Recorder] Saving failed: the disk is full")});
}

TEST(DetachedTask, IgnoresTheFailureWhenAskedTo)
{
    CapturedLog log;
    auto failing = []() -> QCoro::Task<> {
        throw TestFailure();
        co_return;
    };
    startDetachedIgnoringFailure(failing());
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
