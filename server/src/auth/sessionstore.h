#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wordloom {

struct ServerContext;

struct SessionInfo
{
    std::string id;
    std::string userId;
    std::string amrMethod;
    std::int64_t amrTime = 0;
};

// Server-side sessions and their single-use refresh tokens. Only SHA-256 digests of refresh tokens are stored.
class SessionStore
{
public:
    enum class RotateOutcome
    {
        Rotated,
        NotFound,
        AlreadyUsed
    };

    struct Rotation
    {
        RotateOutcome outcome = RotateOutcome::NotFound;
        std::string sessionId;
        std::string refreshToken;
    };

    explicit SessionStore(ServerContext &context)
        : m_context(context)
    {}

    // Creates a session and returns its id and first refresh token.
    std::pair<std::string, std::string> create(const std::string &userId, const std::string &amrMethod);
    // Rotation: the presented token is revoked and a new one issued. Presenting the token that was rotated away
    // just now (within a short grace interval) rotates again, for a client that lost the previous answer; any
    // other reuse revokes the whole session.
    Rotation rotate(const std::string &presentedToken);
    std::optional<SessionInfo> find(const std::string &sessionId);
    void remove(const std::string &sessionId);
    void removeAllOfUser(const std::string &userId);
    void removeOthersOfUser(const std::string &userId, const std::string &keepSessionId);

private:
    std::string issueToken(const std::string &sessionId, const std::optional<std::string> &parentHash);

    ServerContext &m_context;
};

} // namespace wordloom
