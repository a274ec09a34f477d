#pragma once

#include <QtGlobal>

// What /proc tells about another process.
namespace procstats {

// Resident memory (VmRSS) in kibibytes, -1 when unreadable.
qint64 residentKiB(qint64 pid);

// Voluntary plus involuntary context switches summed over all threads: each one is a wake-up of some thread.
qint64 contextSwitches(qint64 pid);

} // namespace procstats
