#include "runtime/qtscheduler.h"

#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

std::chrono::milliseconds toMilliseconds(double seconds)
{
    return std::chrono::milliseconds(std::llround(std::max(0.0, seconds) * 1000.0));
}

class QtRepeatingTimer : public RepeatingTimer
{
public:
    QtRepeatingTimer(QObject *context, double seconds, Scheduler::Job job)
        : m_timer(new QTimer(context))
    {
        QObject::connect(m_timer, &QTimer::timeout, m_timer, std::move(job));
        m_timer->start(toMilliseconds(seconds));
    }
    ~QtRepeatingTimer() override { invalidate(); }

    void invalidate() override
    {
        if (m_timer) {
            m_timer->stop();
            m_timer->deleteLater();
            m_timer = nullptr;
        }
    }
    bool isValid() const override { return !m_timer.isNull(); }

private:
    QPointer<QTimer> m_timer;
};

} // namespace

QtScheduler::QtScheduler() = default;

QtScheduler::~QtScheduler() = default;

void QtScheduler::post(Job job)
{
    QMetaObject::invokeMethod(&m_context, std::move(job), Qt::QueuedConnection);
}

void QtScheduler::postAfter(double seconds, Job job)
{
    if (QThread::currentThread() != m_context.thread()) {
        post([this, seconds, job = std::move(job)]() mutable { postAfter(seconds, std::move(job)); });
        return;
    }
    QTimer::singleShot(toMilliseconds(seconds), &m_context, std::move(job));
}

std::unique_ptr<RepeatingTimer> QtScheduler::every(double seconds, Job job)
{
    return std::make_unique<QtRepeatingTimer>(&m_context, seconds, std::move(job));
}

QDateTime QtScheduler::now() const
{
    return QDateTime::currentDateTimeUtc();
}
