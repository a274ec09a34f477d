#pragma once

#include "auth/sessionstore.h"
#include "auth/userstore.h"

#include <functional>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wordloom {

struct ServerContext;

// Helpers shared by the identity-service routes under /auth/v1.
namespace authhttp {

// Wraps a handler so AuthError, OAuth-style errors and unexpected failures become error responses.
httplib::Server::Handler route(std::function<void(const httplib::Request &, httplib::Response &)> handler);

// The request body as a JSON object; AuthError 400 bad_json otherwise (also above the 1 MiB body limit: 413).
nlohmann::json parseBody(const httplib::Request &request);
// A string member, absent when missing or null; AuthError 400 bad_json when it has another type.
std::optional<std::string> optionalString(const nlohmann::json &body, const char *key);
// The e-mail of a request body, trimmed and lower-cased; empty when absent.
std::string normalisedEmail(const nlohmann::json &body);

void sendJson(httplib::Response &response, int status, const nlohmann::json &body);

struct Caller
{
    UserRecord user;
    SessionInfo session;
};

// Verifies the bearer access token and its session: 401 no_authorization, 403 bad_jwt, 403 session_not_found,
// 403 user_not_found.
Caller requireCaller(ServerContext &context, const httplib::Request &request);

// The redirect_to query value when it points at the program's own scheme or a loopback address; otherwise the
// server's own origin, so nothing redirects to an arbitrary site.
std::string resolveRedirect(const ServerContext &context, const std::string &candidate);

// Appends key=value pairs (values URL-encoded) to a URL's query or fragment.
std::string withQuery(const std::string &url, const std::vector<std::pair<std::string, std::string>> &pairs);
std::string withFragment(const std::string &url, const std::vector<std::pair<std::string, std::string>> &pairs);

// Checks a PKCE challenge as sent by a client; throws AuthError 400 validation_failed on a bad pair.
// Returns true when the request carries a challenge.
bool validateChallenge(const std::optional<std::string> &challenge, const std::optional<std::string> &method);

void checkPasswordPolicy(const std::string &password);

} // namespace authhttp
} // namespace wordloom
