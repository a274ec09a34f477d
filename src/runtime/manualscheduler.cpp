#include "runtime/manualscheduler.h"

#include <algorithm>
#include <cmath>

namespace {

qint64 toMilliseconds(double seconds)
{
    return std::llround(std::max(0.0, seconds) * 1000.0);
}

class ManualRepeatingTimer : public RepeatingTimer
{
public:
    void invalidate() override { *m_valid = false; }
    bool isValid() const override { return *m_valid; }
    ~ManualRepeatingTimer() override { invalidate(); }

    // Shared with the scheduled jobs so a destroyed handle stops the chain of re-posts.
    std::shared_ptr<bool> m_valid = std::make_shared<bool>(true);
};

} // namespace

ManualScheduler::ManualScheduler(QDateTime start)
    : m_now(std::move(start))
{}

ManualScheduler::~ManualScheduler() = default;

void ManualScheduler::post(Job job)
{
    schedule(m_now.toMSecsSinceEpoch(), std::move(job));
}

void ManualScheduler::postAfter(double seconds, Job job)
{
    schedule(m_now.toMSecsSinceEpoch() + toMilliseconds(seconds), std::move(job));
}

std::unique_ptr<RepeatingTimer> ManualScheduler::every(double seconds, Job job)
{
    auto timer = std::make_unique<ManualRepeatingTimer>();
    const qint64 intervalMs = std::max<qint64>(1, toMilliseconds(seconds));
    auto tick = std::make_shared<Job>();
    *tick = [this, valid = timer->m_valid, intervalMs, job = std::move(job), weakTick = std::weak_ptr<Job>(tick)] {
        if (!*valid) {
            return;
        }
        job();
        if (*valid) {
            if (auto next = weakTick.lock()) {
                schedule(m_now.toMSecsSinceEpoch() + intervalMs, [next] { (*next)(); });
            }
        }
    };
    schedule(m_now.toMSecsSinceEpoch() + intervalMs, [tick] { (*tick)(); });
    return timer;
}

void ManualScheduler::runPending()
{
    while (runNextDue(m_now.toMSecsSinceEpoch())) {
    }
}

void ManualScheduler::advance(double seconds)
{
    const qint64 targetMs = m_now.toMSecsSinceEpoch() + toMilliseconds(seconds);
    while (runNextDue(targetMs)) {
    }
    m_now = QDateTime::fromMSecsSinceEpoch(targetMs, Qt::UTC);
}

void ManualScheduler::schedule(qint64 dueMs, Job job)
{
    m_jobs.emplace(Key{dueMs, m_sequence++}, std::move(job));
}

bool ManualScheduler::runNextDue(qint64 untilMs)
{
    if (m_jobs.empty() || m_jobs.begin()->first.dueMs > untilMs) {
        return false;
    }
    auto node = m_jobs.extract(m_jobs.begin());
    if (node.key().dueMs > m_now.toMSecsSinceEpoch()) {
        m_now = QDateTime::fromMSecsSinceEpoch(node.key().dueMs, Qt::UTC);
    }
    node.mapped()();
    return true;
}
