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

qint64 contextSwitches(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    qint64 total = 0;
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString status = tasks + QLatin1Char('/') + task + QStringLiteral("/status");
        total += qMax<qint64>(0, statusField(status, "voluntary_ctxt_switches"));
        total += qMax<qint64>(0, statusField(status, "nonvoluntary_ctxt_switches"));
    }
    return total;
}

} // namespace procstats
