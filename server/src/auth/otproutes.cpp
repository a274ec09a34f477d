#include "app/servercontext.h"
#include "auth/autherror.h"
#include "auth/authhttp.h"
#include "auth/authroutes.h"
#include "auth/flowstore.h"
#include "auth/otpstore.h"
#include "core/textutil.h"

namespace wordloom {

namespace {

std::optional<std::string> startFlow(ServerContext &context, const nlohmann::json &body, const std::string &kind,
                                     const UserRecord &user, const std::string &redirectTo)
{
    const auto challenge = authhttp::optionalString(body, "code_challenge");
    const auto method = authhttp::optionalString(body, "code_challenge_method");
    if (!authhttp::validateChallenge(challenge, method)) {
        return std::nullopt;
    }
    return FlowStore(context).create(kind, "email", user.id, *challenge, text::toLowerAscii(*method), redirectTo).id;
}

void sendCode(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto body = authhttp::parseBody(request);
    const std::string email = authhttp::normalisedEmail(body);
    bool createUser = true;
    if (body.contains("create_user") && !body["create_user"].is_null()) {
        if (!body["create_user"].is_boolean()) {
            throw AuthError(400, "bad_json", "Could not parse request body as JSON: \"create_user\" must be a boolean");
        }
        createUser = body["create_user"].get<bool>();
    }
    if (email.empty()) {
        throw AuthError(400, "validation_failed", "One of email or phone must be set");
    }
    UserStore users(context);
    auto user = text::isValidEmail(email) ? users.findByEmail(email) : std::nullopt;
    if (!user && !createUser) {
        throw AuthError(422, "otp_disabled", "Signups not allowed for otp");
    }
    if (!text::isValidEmail(email)) {
        throw AuthError(400, "validation_failed", "Unable to validate email address: invalid format");
    }
    // Validate the PKCE pair before anything is created or sent.
    authhttp::validateChallenge(authhttp::optionalString(body, "code_challenge"),
                                authhttp::optionalString(body, "code_challenge_method"));
    OtpStore otps(context);
    otps.checkSendInterval(email);
    if (!user) {
        nlohmann::json metadata =
            body.contains("data") && body["data"].is_object() ? body["data"] : nlohmann::json::object();
        user = users.create(email, std::nullopt, metadata, "email", false);
    }
    const std::string kind = user->isConfirmed() ? "magiclink" : "signup";
    const std::string redirectTo = authhttp::resolveRedirect(context, request.get_param_value("redirect_to"));
    otps.send(*user, kind, redirectTo, startFlow(context, body, kind, *user, redirectTo));
    if (kind == "signup") {
        users.markConfirmationSent(user->id);
    }
    authhttp::sendJson(response, 200, nlohmann::json::object());
}

void recover(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto body = authhttp::parseBody(request);
    const std::string email = authhttp::normalisedEmail(body);
    if (email.empty()) {
        throw AuthError(400, "validation_failed", "Password recovery requires an email");
    }
    if (!text::isValidEmail(email)) {
        throw AuthError(400, "validation_failed", "Unable to validate email address: invalid format");
    }
    authhttp::validateChallenge(authhttp::optionalString(body, "code_challenge"),
                                authhttp::optionalString(body, "code_challenge_method"));
    UserStore users(context);
    // Unknown addresses get the same answer, so the endpoint does not reveal who has an account.
    if (const auto user = users.findByEmail(email)) {
        OtpStore otps(context);
        otps.checkSendInterval(email);
        const std::string redirectTo = authhttp::resolveRedirect(context, request.get_param_value("redirect_to"));
        otps.send(*user, "recovery", redirectTo, startFlow(context, body, "recovery", *user, redirectTo));
        users.markRecoverySent(user->id);
    }
    authhttp::sendJson(response, 200, nlohmann::json::object());
}

} // namespace

void registerOtpRoutes(httplib::Server &server, ServerContext &context)
{
    server.Post("/auth/v1/otp", authhttp::route([&context](const auto &request, auto &response) {
                    sendCode(context, request, response);
                }));
    server.Post("/auth/v1/recover", authhttp::route([&context](const auto &request, auto &response) {
                    recover(context, request, response);
                }));
}

} // namespace wordloom
