#include "app/servercontext.h"
#include "auth/autherror.h"
#include "auth/authhttp.h"
#include "auth/authroutes.h"
#include "auth/otpstore.h"
#include "auth/userjson.h"

namespace wordloom {

namespace {

void updateUser(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto caller = authhttp::requireCaller(context, request);
    const auto body = authhttp::parseBody(request);
    const auto password = authhttp::optionalString(body, "password");
    const auto email = authhttp::optionalString(body, "email");
    if (body.contains("data") && !body["data"].is_null() && !body["data"].is_object()) {
        throw AuthError(400, "bad_json", "Could not parse request body as JSON: \"data\" must be an object");
    }
    if (email && authhttp::normalisedEmail(body) != caller.user.email) {
        throw AuthError(422, "validation_failed", "Changing the e-mail address is not supported by this server");
    }
    UserStore users(context);
    if (password) {
        authhttp::checkPasswordPolicy(*password);
        if (caller.user.passwordHash && context.hasher.verify(*caller.user.passwordHash, *password)) {
            throw AuthError(422, "same_password", "New password should be different from the old password.");
        }
        users.setPassword(caller.user.id, context.hasher.hash(*password));
        // A new password ends every other session and voids codes still pending.
        SessionStore(context).removeOthersOfUser(caller.user.id, caller.session.id);
        OtpStore(context).removeAllOfUser(caller.user.id);
    }
    if (body.contains("data") && body["data"].is_object()) {
        users.mergeMetadata(caller.user.id, body["data"]);
    }
    authhttp::sendJson(response, 200, userToJson(*users.findById(caller.user.id)));
}

void logout(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const std::string scope = request.has_param("scope") ? request.get_param_value("scope") : "global";
    if (scope != "global" && scope != "local" && scope != "others") {
        throw AuthError(400, "validation_failed", "Unsupported logout scope \"" + scope + "\"");
    }
    const auto caller = authhttp::requireCaller(context, request);
    SessionStore sessions(context);
    if (scope == "global") {
        sessions.removeAllOfUser(caller.user.id);
    } else if (scope == "local") {
        sessions.remove(caller.session.id);
    } else {
        sessions.removeOthersOfUser(caller.user.id, caller.session.id);
    }
    response.status = 204;
}

} // namespace

void registerUserRoutes(httplib::Server &server, ServerContext &context)
{
    server.Get("/auth/v1/user", authhttp::route([&context](const auto &request, auto &response) {
                   authhttp::sendJson(response, 200, userToJson(authhttp::requireCaller(context, request).user));
               }));
    server.Put("/auth/v1/user", authhttp::route([&context](const auto &request, auto &response) {
                   updateUser(context, request, response);
               }));
    server.Post("/auth/v1/logout", authhttp::route([&context](const auto &request, auto &response) {
                    logout(context, request, response);
                }));
}

} // namespace wordloom
