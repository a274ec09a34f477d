#include "auth/autherror.h"

#include <httplib.h>

namespace wordloom {

namespace {
constexpr const char *kApiVersionHeader = "X-Supabase-Api-Version";
}

void renderAuthError(const httplib::Request &request, httplib::Response &response, const AuthError &error)
{
    nlohmann::json body = error.extra().is_object() ? error.extra() : nlohmann::json::object();
    if (request.has_header(kApiVersionHeader)) {
        body["code"] = error.code();
        body["message"] = error.what();
        response.set_header(kApiVersionHeader, request.get_header_value(kApiVersionHeader));
    } else {
        body["code"] = error.status();
        body["error_code"] = error.code();
        body["msg"] = error.what();
    }
    response.status = error.status();
    response.set_header("x-sb-error-code", error.code());
    response.set_content(body.dump(), "application/json");
}

void renderOAuthStyleError(httplib::Response &response, const OAuthStyleError &error)
{
    response.status = 400;
    const nlohmann::json body = {{"error", error.error()}, {"error_description", error.what()}};
    response.set_content(body.dump(), "application/json");
}

} // namespace wordloom
