#include "core/clock.h"

#include <ctime>

namespace wordloom {

std::int64_t Clock::nowMicros() const
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since).count() + m_offsetMicros.load();
}

std::int64_t Clock::nowSeconds() const
{
    return nowMicros() / 1'000'000;
}

std::string Clock::nowIso() const
{
    return isoFromMicros(nowMicros());
}

std::string Clock::isoFromMicros(std::int64_t micros)
{
    const std::time_t seconds = static_cast<std::time_t>(micros / 1'000'000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char buffer[40];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &parts);
    char result[64];
    std::snprintf(result, sizeof result, "%s.%06lldZ", buffer, static_cast<long long>(micros % 1'000'000));
    return result;
}

} // namespace wordloom
