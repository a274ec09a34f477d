#include "app/servercontext.h"
#include "auth/autherror.h"
#include "auth/authhttp.h"
#include "auth/authroutes.h"
#include "auth/flowstore.h"
#include "auth/tokenissuer.h"
#include "core/crypto.h"
#include "core/textutil.h"

namespace wordloom {

namespace {

constexpr std::size_t kMinRefreshTokenLength = 12;

nlohmann::json passwordGrant(ServerContext &context, const nlohmann::json &body)
{
    const std::string email = authhttp::normalisedEmail(body);
    const std::string password = authhttp::optionalString(body, "password").value_or("");
    if (email.empty()) {
        throw AuthError(400, "validation_failed", "missing email or phone");
    }
    UserStore users(context);
    const auto user = users.findByEmail(email);
    // Unknown account, wrong password and a provider-only account all answer alike.
    if (!user || !user->passwordHash || !context.hasher.verify(*user->passwordHash, password)) {
        throw AuthError(400, "invalid_credentials", "Invalid login credentials");
    }
    if (!user->isConfirmed()) {
        throw AuthError(400, "email_not_confirmed", "Email not confirmed");
    }
    return TokenIssuer(context).signIn(*user, "password");
}

nlohmann::json refreshGrant(ServerContext &context, const nlohmann::json &body)
{
    const std::string token = authhttp::optionalString(body, "refresh_token").value_or("");
    if (token.empty()) {
        throw OAuthStyleError("invalid_request", "refresh_token required");
    }
    if (token.size() < kMinRefreshTokenLength) {
        throw AuthError(400, "validation_failed", "Refresh token is not valid");
    }
    SessionStore sessions(context);
    const auto rotation = sessions.rotate(token);
    switch (rotation.outcome) {
    case SessionStore::RotateOutcome::NotFound:
        throw AuthError(400, "refresh_token_not_found", "Invalid Refresh Token: Refresh Token Not Found");
    case SessionStore::RotateOutcome::AlreadyUsed:
        throw AuthError(400, "refresh_token_already_used", "Invalid Refresh Token: Already Used");
    case SessionStore::RotateOutcome::Rotated:
        break;
    }
    const auto session = sessions.find(rotation.sessionId);
    const auto user = session ? UserStore(context).findById(session->userId) : std::nullopt;
    if (!session || !user) {
        throw AuthError(400, "session_not_found", "Invalid Refresh Token: No Valid Session Found");
    }
    return TokenIssuer(context).sessionResponse(*user, *session, rotation.refreshToken);
}

nlohmann::json pkceGrant(ServerContext &context, const nlohmann::json &body)
{
    const std::string authCode = authhttp::optionalString(body, "auth_code").value_or("");
    const std::string verifier = authhttp::optionalString(body, "code_verifier").value_or("");
    if (authCode.empty() || verifier.empty()) {
        throw AuthError(400, "validation_failed",
                        "invalid request: both auth code and code verifier should be non-empty");
    }
    FlowStore flows(context);
    const auto flow = flows.findByAuthCode(authCode);
    if (!flow || !flow->userId || flow->codeChallengeMethod == "implicit") {
        throw AuthError(404, "flow_state_not_found", "invalid flow state, no valid flow state found");
    }
    if (context.clock.nowSeconds() - flow->createdAt > kFlowLifetimeSeconds) {
        flows.remove(flow->id);
        throw AuthError(422, "flow_state_expired", "invalid flow state, flow state has expired");
    }
    const std::string computed =
        flow->codeChallengeMethod == "plain" ? verifier : crypto::base64Url(crypto::sha256(verifier));
    // A wrong verifier ends the flow: the code cannot be tried again.
    flows.remove(flow->id);
    if (!crypto::constantTimeEqual(computed, flow->codeChallenge)) {
        throw AuthError(400, "bad_code_verifier", "code challenge does not match previously saved code verifier");
    }
    const auto user = UserStore(context).findById(*flow->userId);
    if (!user) {
        throw AuthError(404, "flow_state_not_found", "invalid flow state, no valid flow state found");
    }
    const std::string method = flow->kind == "oauth" ? "oauth" : flow->kind == "recovery" ? "recovery" : "otp";
    return TokenIssuer(context).signIn(*user, method);
}

} // namespace

void registerTokenRoutes(httplib::Server &server, ServerContext &context)
{
    server.Post("/auth/v1/token", authhttp::route([&context](const auto &request, auto &response) {
                    const std::string grant = request.get_param_value("grant_type");
                    const auto body = authhttp::parseBody(request);
                    if (grant == "password") {
                        authhttp::sendJson(response, 200, passwordGrant(context, body));
                    } else if (grant == "refresh_token") {
                        authhttp::sendJson(response, 200, refreshGrant(context, body));
                    } else if (grant == "pkce") {
                        authhttp::sendJson(response, 200, pkceGrant(context, body));
                    } else {
                        throw AuthError(400, "invalid_credentials", "unsupported_grant_type");
                    }
                }));
}

} // namespace wordloom
