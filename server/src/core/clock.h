#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace wordloom {

// The server's wall clock. Expiry of codes, tokens and flows is measured against it; tests move it forward
// instead of sleeping.
class Clock
{
public:
    std::int64_t nowSeconds() const;
    // RFC 3339 UTC time with microseconds, the form every timestamp on the wire uses.
    std::string nowIso() const;
    static std::string isoFromMicros(std::int64_t micros);

    void advance(std::chrono::seconds by) { m_offsetMicros += by.count() * 1'000'000; }

private:
    std::int64_t nowMicros() const;

    std::atomic<std::int64_t> m_offsetMicros{0};
};

} // namespace wordloom
