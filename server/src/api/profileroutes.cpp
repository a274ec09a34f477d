#include "api/apihttp.h"
#include "api/apiroutes.h"
#include "api/profilestore.h"
#include "app/servercontext.h"
#include "core/textutil.h"

namespace wordloom {

namespace {

constexpr std::size_t kMaxFullNameLength = 200;
constexpr std::size_t kMaxInstructionsLength = 10000;

void checkText(const std::optional<std::string> &value, const char *field, std::size_t maxLength)
{
    if (!value) {
        return;
    }
    if (!text::isValidUtf8(*value)) {
        throw ApiError(400, std::string("Field '") + field + "' is not valid UTF-8");
    }
    if (text::codePointCount(*value) > maxLength) {
        throw ApiError(400, std::string("Field '") + field + "' is longer than " + std::to_string(maxLength) +
                                " characters");
    }
}

} // namespace

void registerProfileRoutes(httplib::Server &server, ServerContext &context)
{
    server.Get("/api/v1/profile",
               apihttp::authenticated(context, [&context](const auto &, auto &response, const std::string &userId) {
                   apihttp::sendJson(response, 200, ProfileStore(context).profile(userId));
               }));
    server.Patch("/api/v1/profile", apihttp::authenticated(context, [&context](const auto &request, auto &response,
                                                                               const std::string &userId) {
                     const auto body = apihttp::parseBody(request);
                     const auto fullName = apihttp::optionalString(body, "full_name");
                     const auto instructions = apihttp::optionalString(body, "user_instructions");
                     checkText(fullName, "full_name", kMaxFullNameLength);
                     checkText(instructions, "user_instructions", kMaxInstructionsLength);
                     ProfileStore profiles(context);
                     profiles.update(userId, fullName, instructions);
                     apihttp::sendJson(response, 200, profiles.profile(userId));
                 }));
    server.Get("/api/v1/usage/credits",
               apihttp::authenticated(context, [&context](const auto &, auto &response, const std::string &userId) {
                   apihttp::sendJson(response, 200, ProfileStore(context).credits(userId));
               }));
}

} // namespace wordloom
