#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wordloom {

struct ServerContext;

// A PKCE flow must be finished within this many seconds of its start.
inline constexpr std::int64_t kFlowLifetimeSeconds = 300;

struct FlowState
{
    std::string id;
    std::string authCode;
    std::optional<std::string> userId;
    std::string kind;     // oauth, signup, magiclink, recovery
    std::string provider; // email, google, apple
    std::string codeChallenge;
    std::string codeChallengeMethod; // s256 or plain
    std::string redirectTo;
    std::int64_t createdAt = 0;
};

// PKCE flow states: created when a flow starts with a code challenge, finished by the code exchange.
class FlowStore
{
public:
    explicit FlowStore(ServerContext &context)
        : m_context(context)
    {}

    FlowState create(const std::string &kind, const std::string &provider, const std::optional<std::string> &userId,
                     const std::string &codeChallenge, const std::string &method, const std::string &redirectTo);
    std::optional<FlowState> find(const std::string &id);
    std::optional<FlowState> findByAuthCode(const std::string &authCode);
    void setUser(const std::string &id, const std::string &userId);
    void remove(const std::string &id);

private:
    std::optional<FlowState> findWhere(const char *column, const std::string &value);

    ServerContext &m_context;
};

} // namespace wordloom
