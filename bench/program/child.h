#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <functional>

// Spins the event loop (so windows of this process answer selection requests) until `condition` holds.
bool waitUntil(const std::function<bool()> &condition, int milliseconds);
void pump(int milliseconds);

// Runs a helper to its end while the event loop keeps running; true when it exited with 0.
bool runToEnd(const QString &program, const QStringList &arguments);

// A child process whose output is collected while it runs; stopped by its own process id on destruction.
class Child
{
public:
    Child(const QString &program, const QStringList &arguments);
    ~Child();
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool waitForOutput(const QByteArray &text, int milliseconds = 15000);
    const QByteArray &output() const { return m_output; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    QByteArray m_output;
};
