#pragma once

#include <QHash>
#include <QString>

// What /proc tells about another process.
namespace procstats {

// Resident memory (VmRSS) in kibibytes, -1 when unreadable.
qint64 residentKiB(qint64 pid);

// Voluntary plus involuntary context switches of each thread, by thread id: each one is a wake-up of that thread.
QHash<QString, qint64> contextSwitchesPerThread(qint64 pid);

// The context switches since `before` (from contextSwitchesPerThread) of the threads alive now; a thread started
// since counts whole. Threads that ended meanwhile are not counted (their totals are gone with them).
qint64 contextSwitchesSince(qint64 pid, const QHash<QString, qint64> &before);

} // namespace procstats
