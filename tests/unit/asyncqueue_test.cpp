#include "runtime/asyncqueue.h"

#include <QCoroTask>
#include <QStringList>

#include <gtest/gtest.h>
#include <memory>

namespace {

// Takes values until the stream ends, recording each; `busy` lets a test hold the consumer between values.
QCoro::Task<> consume(std::shared_ptr<AsyncQueue<int>> queue, QList<int> &seen, AsyncQueue<int> *busy)
{
    while (const std::optional<int> value = co_await queue->next()) {
        seen.append(*value);
        if (busy) {
            co_await busy->next();
        }
    }
    seen.append(-1);
}

TEST(AsyncQueue, WaitingConsumerGetsEachValueBeforePushReturns)
{
    auto queue = std::make_shared<AsyncQueue<int>>();
    QList<int> seen;
    auto consumer = consume(queue, seen, nullptr);

    queue->push(1);
    EXPECT_EQ(seen, QList<int>{1});
    queue->push(2);
    EXPECT_EQ(seen, (QList<int>{1, 2}));

    queue->close();
    EXPECT_EQ(seen, (QList<int>{1, 2, -1}));
    queue->push(3);
    EXPECT_EQ(seen, (QList<int>{1, 2, -1}));
}

TEST(AsyncQueue, ValuesPushedWhileTheConsumerIsBusyWaitInOrder)
{
    auto queue = std::make_shared<AsyncQueue<int>>();
    AsyncQueue<int> gate;
    QList<int> seen;
    queue->push(1);
    auto consumer = consume(queue, seen, &gate);
    queue->push(2);
    queue->push(3);
    queue->close();
    EXPECT_EQ(seen, QList<int>{1});

    gate.push(0);
    EXPECT_EQ(seen, (QList<int>{1, 2}));
    gate.push(0);
    gate.push(0);
    EXPECT_EQ(seen, (QList<int>{1, 2, 3, -1}));
}

} // namespace
