#include "auth/gotrue/autheventhub.h"

#include <algorithm>

AuthEventHub::~AuthEventHub()
{
    for (const auto &stream : m_live) {
        stream->close();
    }
    for (const auto &stream : m_waiting) {
        stream->close();
    }
}

std::shared_ptr<AuthEventStream> AuthEventHub::subscribe(const std::optional<AuthSession> &current)
{
    auto stream = std::make_shared<AuthEventStream>();
    if (m_open) {
        stream->push({AuthEvent::InitialSession, current});
        m_live.push_back(stream);
    } else {
        m_waiting.push_back(stream);
    }
    return stream;
}

void AuthEventHub::open(const std::optional<AuthSession> &current)
{
    m_open = true;
    // Pushing resumes the subscriber, which may subscribe again: work on a copy.
    const auto opening = std::exchange(m_waiting, {});
    for (const auto &stream : opening) {
        m_live.push_back(stream);
        stream->push({AuthEvent::InitialSession, current});
    }
}

void AuthEventHub::publish(const AuthStateChange &change)
{
    std::erase_if(m_live, [](const auto &stream) { return stream->isClosed(); });
    const auto receivers = m_live;
    for (const auto &stream : receivers) {
        stream->push(change);
    }
}
