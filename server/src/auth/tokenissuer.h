#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace wordloom {

struct ServerContext;
struct UserRecord;
struct SessionInfo;

// Builds the token response of every sign-in path: a signed access token plus the session's refresh token.
class TokenIssuer
{
public:
    explicit TokenIssuer(ServerContext &context)
        : m_context(context)
    {}

    // Starts a new session for the user (recording the sign-in) and answers it.
    nlohmann::json signIn(const UserRecord &user, const std::string &amrMethod);
    // Answers an existing session with a freshly minted access token.
    nlohmann::json sessionResponse(const UserRecord &user, const SessionInfo &session, const std::string &refreshToken);

private:
    ServerContext &m_context;
};

} // namespace wordloom
