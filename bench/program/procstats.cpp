#include "procstats.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace {

// The numeric value of a "Name:   123 kB" line of a status file, -1 when missing.
qint64 statusField(const QString &path, const QByteArray &name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = name + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            const QByteArray value = line.mid(prefix.size()).trimmed();
            return value.split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

} // namespace

namespace procstats {

qint64 residentKiB(qint64 pid)
{
    return statusField(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS");
}

QHash<QString, qint64> contextSwitchesPerThread(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    QHash<QString, qint64> switches;
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString status = tasks + QLatin1Char('/') + task + QStringLiteral("/status");
        switches.insert(task, qMax<qint64>(0, statusField(status, "voluntary_ctxt_switches")) +
                                  qMax<qint64>(0, statusField(status, "nonvoluntary_ctxt_switches")));
    }
    return switches;
}

qint64 contextSwitchesSince(qint64 pid, const QHash<QString, qint64> &before)
{
    qint64 total = 0;
    const QHash<QString, qint64> now = contextSwitchesPerThread(pid);
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        total += it.value() - before.value(it.key(), 0);
    }
    return total;
}

} // namespace procstats
