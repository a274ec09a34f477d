#include "xtool.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

ToolResult runTool(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) {
        ADD_FAILURE() << "could not start " << program.toStdString();
        return {};
    }
    process.closeWriteChannel();
    const bool ended = pumpUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!ended) {
        ADD_FAILURE() << program.toStdString() << " did not end";
        process.kill();
        process.waitForFinished(2000);
        return {};
    }
    return ToolResult{.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                      .output = process.readAllStandardOutput()};
}

void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

ChildProcess::ChildProcess(const QString &program, const QStringList &arguments)
    : m_process(std::make_unique<QProcess>())
{
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(5000)) {
        ADD_FAILURE() << "could not start " << program.toStdString();
    }
}

ChildProcess::~ChildProcess()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
}

bool ChildProcess::isRunning() const
{
    return m_process->state() != QProcess::NotRunning;
}
