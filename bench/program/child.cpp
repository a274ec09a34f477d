#include "child.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

bool waitUntil(const std::function<bool()> &condition, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return condition();
}

void pump(int milliseconds)
{
    waitUntil([] { return false; }, milliseconds);
}

bool runToEnd(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

Child::Child(const QString &program, const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, [this] { m_output += m_process.readAll(); });
    m_process.start(program, arguments);
}

Child::~Child()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool Child::waitForOutput(const QByteArray &text, int milliseconds)
{
    return waitUntil([&] { return m_output.contains(text); }, milliseconds);
}
