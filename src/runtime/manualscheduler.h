#pragma once

#include "runtime/scheduler.h"

#include <map>

// A scheduler whose clock only moves when a test says so. Jobs run in order of due time, then of posting.
class ManualScheduler : public Scheduler
{
public:
    explicit ManualScheduler(QDateTime start = QDateTime(QDate(2025, 1, 1), QTime(12, 0), Qt::UTC));
    ~ManualScheduler() override;

    void post(Job job) override;
    void postAfter(double seconds, Job job) override;
    std::unique_ptr<RepeatingTimer> every(double seconds, Job job) override;
    QDateTime now() const override { return m_now; }

    // Runs every job that is due now, including jobs that those jobs post for now.
    void runPending();
    // Moves the clock forward by `seconds`, running each job at its due time on the way.
    void advance(double seconds);
    // How many jobs wait, due now or later.
    qsizetype pendingCount() const { return static_cast<qsizetype>(m_jobs.size()); }

private:
    struct Key
    {
        qint64 dueMs;
        quint64 sequence;
        auto operator<=>(const Key &) const = default;
    };
    void schedule(qint64 dueMs, Job job);
    bool runNextDue(qint64 untilMs);

    QDateTime m_now;
    quint64 m_sequence = 0;
    std::map<Key, Job> m_jobs;
};
