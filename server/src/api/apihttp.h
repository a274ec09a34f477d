#pragma once

#include <cstdint>
#include <functional>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

namespace wordloom {

struct ServerContext;

// A backend error: an HTTP status and the readable sentence sent as {"detail": "..."}.
class ApiError : public std::runtime_error
{
public:
    ApiError(int status, const std::string &detail)
        : std::runtime_error(detail)
        , m_status(status)
    {}
    int status() const { return m_status; }

private:
    int m_status;
};

// Helpers shared by the backend routes under /api/v1.
namespace apihttp {

using Handler = std::function<void(const httplib::Request &, httplib::Response &, const std::string &userId)>;

// Verifies the bearer token (signature, expiry, live session, existing user) before calling the handler with the
// caller's user id; ApiError and unexpected failures become {"detail"} responses.
httplib::Server::Handler authenticated(ServerContext &context, Handler handler);

void sendJson(httplib::Response &response, int status, const nlohmann::json &body);
void sendDetail(httplib::Response &response, int status, const std::string &detail);

// The body as a JSON object (400 when malformed or not an object, 413 above the JSON body limit).
nlohmann::json parseBody(const httplib::Request &request);
std::string requiredString(const nlohmann::json &body, const char *key);
std::optional<std::string> optionalString(const nlohmann::json &body, const char *key);
bool requiredBool(const nlohmann::json &body, const char *key);
std::optional<bool> optionalBool(const nlohmann::json &body, const char *key);
// A non-negative decimal query parameter within [min, max], or `fallback` when absent; 400 otherwise.
std::int64_t queryInteger(const httplib::Request &request, const char *key, std::int64_t fallback, std::int64_t min,
                          std::int64_t max);

} // namespace apihttp
} // namespace wordloom
