#pragma once

#include <QString>
#include <QStringList>

// Receives every log line the program writes. The default sink prints to standard output, one flushed line each.
class LogSink
{
public:
    virtual ~LogSink();
    virtual void writeLine(const QString &line) = 0;
};

// The program's console log: single lines, "[Component] message", or a bare message for the few shell lines that
// have no prefix. Callers never pass tokens, passwords, codes or raw URLs with their query or fragment.
namespace Log {

void line(QStringView component, const QString &message);
void plain(const QString &message);

// Sends every following line to `sink`; nullptr restores standard output.
void setSink(LogSink *sink);

} // namespace Log

// A sink that keeps the lines in memory while it exists; tests read them back.
class CapturedLog : public LogSink
{
public:
    CapturedLog();
    ~CapturedLog() override;
    CapturedLog(const CapturedLog &) = delete;
    CapturedLog &operator=(const CapturedLog &) = delete;

    void writeLine(const QString &line) override;
    const QStringList &lines() const { return m_lines; }
    bool contains(QStringView fragment) const;
    qsizetype count(QStringView fragment) const;

private:
    QStringList m_lines;
};
