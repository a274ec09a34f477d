#include "api/apihttp.h"

#include "app/servercontext.h"
#include "auth/sessionstore.h"
#include "core/textutil.h"

#include <iostream>

namespace wordloom::apihttp {

namespace {

constexpr std::size_t kMaxJsonBodyBytes = 1024 * 1024;

std::string authenticate(ServerContext &context, const httplib::Request &request)
{
    const std::string header = request.get_header_value("Authorization");
    if (header.size() <= 7 || text::toLowerAscii(header.substr(0, 7)) != "bearer ") {
        throw ApiError(401, "Not authenticated");
    }
    const auto verified = context.jwt.verify(std::string_view(header).substr(7), context.clock.nowSeconds());
    if (!verified.claims) {
        throw ApiError(401, verified.failure == JwtSigner::Failure::Expired ? "Access token has expired"
                                                                            : "Invalid access token");
    }
    // A signed-out or revoked session ends backend access too, not only at the token's expiry.
    const auto session = SessionStore(context).find(verified.claims->value("session_id", std::string()));
    const std::string userId = (*verified.claims)["sub"].get<std::string>();
    if (!session || session->userId != userId) {
        throw ApiError(401, "Session has ended; sign in again");
    }
    return userId;
}

} // namespace

httplib::Server::Handler authenticated(ServerContext &context, Handler handler)
{
    return [&context, handler = std::move(handler)](const httplib::Request &request, httplib::Response &response) {
        try {
            const std::string userId = authenticate(context, request);
            handler(request, response, userId);
        } catch (const ApiError &error) {
            sendDetail(response, error.status(), error.what());
        } catch (const std::exception &error) {
            std::cerr << "[api] " << request.method << " " << request.path << " failed: " << error.what() << std::endl;
            sendDetail(response, 500, "Internal server error");
        }
    };
}

void sendJson(httplib::Response &response, int status, const nlohmann::json &body)
{
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

void sendDetail(httplib::Response &response, int status, const std::string &detail)
{
    sendJson(response, status, {{"detail", detail}});
}

nlohmann::json parseBody(const httplib::Request &request)
{
    if (request.body.size() > kMaxJsonBodyBytes) {
        throw ApiError(413, "Request body is too large (limit 1 MiB)");
    }
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded()) {
        throw ApiError(400, "Request body is not valid JSON");
    }
    if (!body.is_object()) {
        throw ApiError(400, "Request body must be a JSON object");
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
        throw ApiError(400, std::string("Field '") + key + "' must be a string");
    }
    return it->get<std::string>();
}

std::string requiredString(const nlohmann::json &body, const char *key)
{
    auto value = optionalString(body, key);
    if (!value) {
        throw ApiError(400, std::string("Field '") + key + "' is required");
    }
    return *value;
}

std::optional<bool> optionalBool(const nlohmann::json &body, const char *key)
{
    const auto it = body.find(key);
    if (it == body.end() || it->is_null()) {
        return std::nullopt;
    }
    if (!it->is_boolean()) {
        throw ApiError(400, std::string("Field '") + key + "' must be true or false");
    }
    return it->get<bool>();
}

bool requiredBool(const nlohmann::json &body, const char *key)
{
    auto value = optionalBool(body, key);
    if (!value) {
        throw ApiError(400, std::string("Field '") + key + "' is required");
    }
    return *value;
}

std::int64_t queryInteger(const httplib::Request &request, const char *key, std::int64_t fallback, std::int64_t min,
                          std::int64_t max)
{
    if (!request.has_param(key)) {
        return fallback;
    }
    const std::string value = request.get_param_value(key);
    const bool digits =
        !value.empty() && value.size() <= 9 && value.find_first_not_of("0123456789") == std::string::npos;
    const std::int64_t number = digits ? std::stoll(value) : -1;
    if (!digits || number < min || number > max) {
        throw ApiError(400, std::string("Query parameter '") + key + "' must be a whole number from " +
                                std::to_string(min) + " to " + std::to_string(max));
    }
    return number;
}

} // namespace wordloom::apihttp
