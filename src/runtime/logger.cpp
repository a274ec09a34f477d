#include "runtime/logger.h"

#include <algorithm>
#include <cstdio>

namespace {

class StandardOutputSink : public LogSink
{
public:
    void writeLine(const QString &line) override
    {
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

StandardOutputSink standardOutput;
LogSink *currentSink = &standardOutput;

} // namespace

LogSink::~LogSink() = default;

namespace Log {

void line(QStringView component, const QString &message)
{
    currentSink->writeLine(QStringLiteral("[%1] %2").arg(component, message));
}

void plain(const QString &message)
{
    currentSink->writeLine(message);
}

void setSink(LogSink *sink)
{
    currentSink = sink ? sink : &standardOutput;
}

} // namespace Log

CapturedLog::CapturedLog()
{
    Log::setSink(this);
}

CapturedLog::~CapturedLog()
{
    Log::setSink(nullptr);
}

void CapturedLog::writeLine(const QString &line)
{
    m_lines.append(line);
}

bool CapturedLog::contains(QStringView fragment) const
{
    return count(fragment) > 0;
}

qsizetype CapturedLog::count(QStringView fragment) const
{
    return std::count_if(m_lines.cbegin(), m_lines.cend(), [&](const QString &l) { return l.contains(fragment); });
}
