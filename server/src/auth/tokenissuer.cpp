#include "auth/tokenissuer.h"

#include "app/servercontext.h"
#include "auth/sessionstore.h"
#include "auth/userjson.h"
#include "auth/userstore.h"

namespace wordloom {

nlohmann::json TokenIssuer::signIn(const UserRecord &user, const std::string &amrMethod)
{
    SessionStore sessions(m_context);
    const auto [sessionId, refreshToken] = sessions.create(user.id, amrMethod);
    UserStore users(m_context);
    users.touchSignIn(user.id);
    const auto session = sessions.find(sessionId);
    return sessionResponse(*users.findById(user.id), *session, refreshToken);
}

nlohmann::json TokenIssuer::sessionResponse(const UserRecord &user, const SessionInfo &session,
                                            const std::string &refreshToken)
{
    const std::int64_t now = m_context.clock.nowSeconds();
    const std::int64_t lifetime = m_context.config.accessTokenLifetime;
    const nlohmann::json userJson = userToJson(user);
    const nlohmann::json claims = {
        {"iss", m_context.publicUrl + "/auth/v1"},
        {"sub", user.id},
        {"aud", "authenticated"},
        {"exp", now + lifetime},
        {"iat", now},
        {"email", user.email},
        {"phone", ""},
        {"app_metadata", userJson["app_metadata"]},
        {"user_metadata", userJson["user_metadata"]},
        {"role", "authenticated"},
        {"aal", "aal1"},
        {"amr", nlohmann::json::array({{{"method", session.amrMethod}, {"timestamp", session.amrTime}}})},
        {"session_id", session.id},
        {"is_anonymous", false},
    };
    return {
        {"access_token", m_context.jwt.sign(claims)},
        {"token_type", "bearer"},
        {"expires_in", lifetime},
        {"expires_at", now + lifetime},
        {"refresh_token", refreshToken},
        {"user", userJson},
    };
}

} // namespace wordloom
