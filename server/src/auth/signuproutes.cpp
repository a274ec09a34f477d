#include "app/servercontext.h"
#include "auth/autherror.h"
#include "auth/authhttp.h"
#include "auth/authroutes.h"
#include "auth/flowstore.h"
#include "auth/otpstore.h"
#include "auth/tokenissuer.h"
#include "auth/userjson.h"
#include "core/textutil.h"

namespace wordloom {

namespace {

void requireValidEmail(const std::string &email)
{
    if (email.empty()) {
        throw AuthError(400, "validation_failed", "An email address is required");
    }
    if (!text::isValidEmail(email)) {
        throw AuthError(400, "validation_failed", "Unable to validate email address: invalid format");
    }
}

void signUp(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto body = authhttp::parseBody(request);
    const std::string email = authhttp::normalisedEmail(body);
    const auto password = authhttp::optionalString(body, "password");
    nlohmann::json metadata = nlohmann::json::object();
    if (body.contains("data") && !body["data"].is_null()) {
        if (!body["data"].is_object()) {
            throw AuthError(400, "bad_json", "Could not parse request body as JSON: \"data\" must be an object");
        }
        metadata = body["data"];
    }
    const auto challenge = authhttp::optionalString(body, "code_challenge");
    const auto method = authhttp::optionalString(body, "code_challenge_method");
    requireValidEmail(email);
    if (!password || password->empty()) {
        throw AuthError(400, "validation_failed", "Signup requires a valid password");
    }
    authhttp::checkPasswordPolicy(*password);
    const bool pkce = authhttp::validateChallenge(challenge, method);
    const std::string redirectTo = authhttp::resolveRedirect(context, request.get_param_value("redirect_to"));

    UserStore users(context);
    OtpStore otps(context);
    auto sendConfirmation = [&](const UserRecord &user) {
        std::optional<std::string> flowId;
        if (pkce) {
            flowId = FlowStore(context)
                         .create("signup", "email", user.id, *challenge, text::toLowerAscii(*method), redirectTo)
                         .id;
        }
        otps.send(user, "signup", redirectTo, flowId);
        users.markConfirmationSent(user.id);
    };

    if (auto existing = users.findByEmail(email)) {
        if (existing->isConfirmed()) {
            if (!context.config.confirmEmail) {
                throw AuthError(422, "user_already_exists", "User already registered");
            }
            authhttp::sendJson(response, 200, obfuscatedUserJson(*existing, context.clock.nowIso()));
            return;
        }
        otps.checkSendInterval(email);
        sendConfirmation(*existing);
        authhttp::sendJson(response, 200, userToJson(*users.findById(existing->id)));
        return;
    }

    const UserRecord user =
        users.create(email, context.hasher.hash(*password), metadata, "email", !context.config.confirmEmail);
    if (!context.config.confirmEmail) {
        authhttp::sendJson(response, 200, TokenIssuer(context).signIn(user, "password"));
        return;
    }
    sendConfirmation(user);
    authhttp::sendJson(response, 200, userToJson(*users.findById(user.id)));
}

void resend(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto body = authhttp::parseBody(request);
    const std::string type = authhttp::optionalString(body, "type").value_or("");
    if (type != "signup" && type != "email_change" && type != "sms" && type != "phone_change") {
        throw AuthError(400, "validation_failed",
                        "Missing one of these types: signup, email_change, sms, phone_change");
    }
    const std::string email = authhttp::normalisedEmail(body);
    if ((type == "signup" || type == "email_change") && email.empty()) {
        throw AuthError(400, "validation_failed", "Type provided requires an email address");
    }
    if (type == "signup") {
        UserStore users(context);
        if (auto user = users.findByEmail(email); user && !user->isConfirmed()) {
            OtpStore otps(context);
            otps.checkSendInterval(email);
            const std::string redirectTo = authhttp::resolveRedirect(context, request.get_param_value("redirect_to"));
            otps.send(*user, "signup", redirectTo, std::nullopt);
            users.markConfirmationSent(user->id);
        }
    }
    authhttp::sendJson(response, 200, nlohmann::json::object());
}

} // namespace

void registerSignUpRoutes(httplib::Server &server, ServerContext &context)
{
    server.Post("/auth/v1/signup", authhttp::route([&context](const auto &request, auto &response) {
                    signUp(context, request, response);
                }));
    server.Post("/auth/v1/resend", authhttp::route([&context](const auto &request, auto &response) {
                    resend(context, request, response);
                }));
    server.Get("/auth/v1/settings", authhttp::route([&context](const auto &, auto &response) {
                   authhttp::sendJson(response, 200,
                                      {{"external", {{"email", true}, {"google", true}, {"apple", true}}},
                                       {"disable_signup", false},
                                       {"mailer_autoconfirm", !context.config.confirmEmail},
                                       {"phone_autoconfirm", false},
                                       {"saml_enabled", false}});
               }));
}

} // namespace wordloom
