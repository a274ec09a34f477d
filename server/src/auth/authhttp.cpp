#include "auth/authhttp.h"

#include "app/servercontext.h"
#include "auth/autherror.h"
#include "core/textutil.h"

#include <iostream>

namespace wordloom::authhttp {

namespace {

constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
constexpr std::size_t kMinPasswordLength = 6;
constexpr std::size_t kMaxPasswordLength = 72;

std::string appendPairs(const std::string &url, char separator,
                        const std::vector<std::pair<std::string, std::string>> &pairs)
{
    std::string out = url;
    bool first = true;
    for (const auto &[key, value] : pairs) {
        out.push_back(first ? separator : '&');
        first = false;
        out += text::urlEncode(key) + "=" + text::urlEncode(value);
    }
    return out;
}

} // namespace

httplib::Server::Handler route(std::function<void(const httplib::Request &, httplib::Response &)> handler)
{
    return [handler = std::move(handler)](const httplib::Request &request, httplib::Response &response) {
        try {
            handler(request, response);
        } catch (const AuthError &error) {
            renderAuthError(request, response, error);
        } catch (const OAuthStyleError &error) {
            renderOAuthStyleError(response, error);
        } catch (const std::exception &error) {
            std::cerr << "[auth] " << request.method << " " << request.path << " failed: " << error.what() << std::endl;
            renderAuthError(request, response, AuthError(500, "unexpected_failure", "Unexpected failure"));
        }
    };
}

nlohmann::json parseBody(const httplib::Request &request)
{
    if (request.body.size() > kMaxBodyBytes) {
        throw AuthError(413, "request_entity_too_large", "Request entity too large");
    }
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded()) {
        throw AuthError(400, "bad_json", "Could not parse request body as JSON: malformed JSON");
    }
    if (!body.is_object()) {
        throw AuthError(400, "bad_json", "Could not parse request body as JSON: expected an object");
    }
    return body;
}

std::optional<std::string> optionalString(const nlohmann::json &body, const char *key)
{
    const auto it = body.find(key);
    if (it == body.end() || it->is_null()) {
        return std::nullopt;
    }
    if (!it->is_string()) {
        throw AuthError(400, "bad_json",
                        std::string("Could not parse request body as JSON: \"") + key + "\" must be a string");
    }
    return it->get<std::string>();
}

std::string normalisedEmail(const nlohmann::json &body)
{
    return text::toLowerAscii(text::trim(optionalString(body, "email").value_or("")));
}

void sendJson(httplib::Response &response, int status, const nlohmann::json &body)
{
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

Caller requireCaller(ServerContext &context, const httplib::Request &request)
{
    const std::string header = request.get_header_value("Authorization");
    if (header.size() <= 7 || text::toLowerAscii(header.substr(0, 7)) != "bearer " ||
        header.find_first_of(" \t", 7) != std::string::npos) {
        throw AuthError(401, "no_authorization", "This endpoint requires a valid Bearer token");
    }
    const auto verified = context.jwt.verify(std::string_view(header).substr(7), context.clock.nowSeconds());
    if (!verified.claims) {
        const bool expired = verified.failure == JwtSigner::Failure::Expired;
        throw AuthError(403, "bad_jwt",
                        expired ? "invalid JWT: unable to parse or verify signature, token has expired"
                                : "invalid JWT: unable to parse or verify signature");
    }
    const auto &claims = *verified.claims;
    UserStore users(context);
    auto user = users.findById(claims["sub"].get<std::string>());
    if (!user) {
        throw AuthError(403, "user_not_found", "User from sub claim in JWT does not exist");
    }
    SessionStore sessions(context);
    const auto sessionId = claims.value("session_id", std::string());
    auto session = sessions.find(sessionId);
    if (!session || session->userId != user->id) {
        throw AuthError(403, "session_not_found", "Session from session_id claim in JWT does not exist");
    }
    return {std::move(*user), std::move(*session)};
}

std::string resolveRedirect(const ServerContext &context, const std::string &candidate)
{
    const std::string lower = text::toLowerAscii(candidate);
    const bool ownScheme = lower.starts_with("wordloom://");
    bool loopback = false;
    for (const char *prefix : {"http://127.0.0.1", "http://localhost", "http://[::1]"}) {
        const std::string p = prefix;
        if (lower.starts_with(p) && (lower.size() == p.size() || lower[p.size()] == ':' || lower[p.size()] == '/')) {
            loopback = true;
        }
    }
    const bool clean = candidate.find_first_of(" \r\n\t") == std::string::npos;
    if ((ownScheme || loopback) && clean) {
        return candidate;
    }
    return context.publicUrl + "/";
}

std::string withQuery(const std::string &url, const std::vector<std::pair<std::string, std::string>> &pairs)
{
    const auto hash = url.find('#');
    const std::string base = url.substr(0, hash);
    return appendPairs(base, base.find('?') == std::string::npos ? '?' : '&', pairs);
}

std::string withFragment(const std::string &url, const std::vector<std::pair<std::string, std::string>> &pairs)
{
    return appendPairs(url.substr(0, url.find('#')), '#', pairs);
}

bool validateChallenge(const std::optional<std::string> &challenge, const std::optional<std::string> &method)
{
    if (!challenge && !method) {
        return false;
    }
    if (!challenge || !method) {
        throw AuthError(400, "validation_failed", "PKCE flow requires code_challenge_method and code_challenge");
    }
    const std::string lowerMethod = text::toLowerAscii(*method);
    if (lowerMethod != "s256" && lowerMethod != "plain") {
        throw AuthError(400, "validation_failed", "Invalid code_challenge_method");
    }
    if (challenge->size() < 43 || challenge->size() > 128 ||
        challenge->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~") !=
            std::string::npos) {
        throw AuthError(400, "validation_failed", "code challenge has to be between 43 and 128 characters");
    }
    return true;
}

void checkPasswordPolicy(const std::string &password)
{
    if (password.size() > kMaxPasswordLength) {
        throw AuthError(400, "validation_failed", "Password cannot be longer than 72 characters");
    }
    if (text::codePointCount(password) < kMinPasswordLength) {
        throw AuthError(422, "weak_password", "Password should be at least 6 characters.",
                        {{"weak_password", {{"reasons", nlohmann::json::array({"length"})}}}});
    }
}

} // namespace wordloom::authhttp
