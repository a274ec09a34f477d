#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// Runs another X client to its end while this process keeps serving its own windows and clipboard (a blocking
// wait would leave that client waiting for us). Fails the current test when it cannot start or does not end.
struct ToolResult
{
    int exitCode = -1;
    QByteArray output;
};
ToolResult runTool(const QString &program, const QStringList &arguments, int timeoutMs = 10000);

// Spins the event loop for `ms` milliseconds.
void pump(int ms);

// Spins the event loop until `done` holds or `timeoutMs` passed; the last value of `done`.
template <typename Predicate>
bool pumpUntil(Predicate done, int timeoutMs = 5000)
{
    for (int waited = 0; !done() && waited < timeoutMs; waited += 10) {
        pump(10);
    }
    return done();
}

// A child process that lives as long as this object and is ended by its process id.
class ChildProcess
{
public:
    ChildProcess(const QString &program, const QStringList &arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool isRunning() const;

private:
    std::unique_ptr<QProcess> m_process;
};
