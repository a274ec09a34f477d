#pragma once

#include "runtime/scheduler.h"

#include <QObject>

// The production scheduler: the Qt event loop of the thread that created it (the main thread) and the wall clock.
class QtScheduler : public Scheduler
{
public:
    QtScheduler();
    ~QtScheduler() override;

    void post(Job job) override;
    void postAfter(double seconds, Job job) override;
    std::unique_ptr<RepeatingTimer> every(double seconds, Job job) override;
    QDateTime now() const override;

private:
    // Owns the timers and queued calls; lives on the main thread so every job runs there.
    QObject m_context;
};
