#include "app/servercontext.h"
#include "auth/autherror.h"
#include "auth/authhttp.h"
#include "auth/authroutes.h"
#include "auth/flowstore.h"
#include "auth/otpstore.h"
#include "auth/tokenissuer.h"

namespace wordloom {

namespace {

// The stored code kinds a verification type accepts, in the order they are tried.
std::optional<std::vector<std::string>> kindsForType(const std::string &type)
{
    if (type == "signup" || type == "invite") {
        return std::vector<std::string>{"signup"};
    }
    if (type == "magiclink") {
        return std::vector<std::string>{"magiclink"};
    }
    if (type == "recovery") {
        return std::vector<std::string>{"recovery"};
    }
    if (type == "email") {
        return std::vector<std::string>{"signup", "magiclink"};
    }
    if (type == "email_change") {
        return std::vector<std::string>{};
    }
    return std::nullopt;
}

std::string amrFor(const std::string &kind)
{
    return kind == "recovery" ? "recovery" : "otp";
}

void verifyPost(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto body = authhttp::parseBody(request);
    const auto type = authhttp::optionalString(body, "type");
    if (!type || type->empty()) {
        throw AuthError(400, "validation_failed", "Verify requires a verification type");
    }
    const auto kinds = kindsForType(*type);
    if (!kinds) {
        throw AuthError(400, "validation_failed", "Unsupported verification type");
    }
    const auto tokenHash = authhttp::optionalString(body, "token_hash");
    const auto token = authhttp::optionalString(body, "token");
    OtpStore otps(context);
    std::optional<OtpStore::Consumed> consumed;
    if (tokenHash) {
        // Client metadata such as gotrue_meta_security may come along; naming an address or a code may not.
        for (const char *key : {"email", "phone", "token", "redirect_to"}) {
            if (body.contains(key) && !body[key].is_null()) {
                throw AuthError(400, "validation_failed", "Only the token_hash and type should be provided");
            }
        }
        consumed = otps.consumeHash(*tokenHash, *kinds);
        if (!consumed) {
            throw AuthError(403, "otp_expired", "Email link is invalid or has expired");
        }
    } else {
        if (!token || token->empty()) {
            throw AuthError(400, "validation_failed", "Verify requires either a token or a token hash");
        }
        const std::string email = authhttp::normalisedEmail(body);
        if (email.empty()) {
            throw AuthError(400, "validation_failed", "Verify requires an email address or a token hash");
        }
        consumed = otps.consumeCode(email, *token, *kinds);
        if (!consumed) {
            throw AuthError(403, "otp_expired", "Token has expired or is invalid");
        }
    }
    UserStore users(context);
    users.confirmEmail(consumed->userId);
    if (consumed->flowId) {
        FlowStore(context).remove(*consumed->flowId);
    }
    const auto user = users.findById(consumed->userId);
    if (!user) {
        throw AuthError(403, "otp_expired", "Token has expired or is invalid");
    }
    authhttp::sendJson(response, 200, TokenIssuer(context).signIn(*user, amrFor(consumed->kind)));
}

// The target of the e-mailed link: answers with a redirect carrying the tokens, a PKCE code or the error.
void verifyLink(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const std::string token = request.get_param_value("token");
    const std::string type = request.get_param_value("type");
    const bool pkceLink = token.starts_with("pkce_");
    std::string redirectTo = authhttp::resolveRedirect(context, request.get_param_value("redirect_to"));
    const auto fail = [&]() {
        const std::vector<std::pair<std::string, std::string>> error = {
            {"error", "access_denied"},
            {"error_code", "otp_expired"},
            {"error_description", "Email link is invalid or has expired"}};
        std::string location = pkceLink ? authhttp::withQuery(redirectTo, error) : redirectTo;
        auto fragment = error;
        fragment.emplace_back("sb", "");
        response.status = 303;
        response.set_header("Location", authhttp::withFragment(location, fragment));
    };
    const auto kinds = kindsForType(type);
    if (token.empty() || !kinds) {
        fail();
        return;
    }
    const auto consumed = OtpStore(context).consumeHash(token, *kinds);
    if (!consumed) {
        fail();
        return;
    }
    UserStore users(context);
    users.confirmEmail(consumed->userId);
    const auto user = users.findById(consumed->userId);
    if (!user) {
        fail();
        return;
    }
    FlowStore flows(context);
    if (const auto flow = consumed->flowId ? flows.find(*consumed->flowId) : std::nullopt) {
        response.status = 303;
        response.set_header("Location", authhttp::withQuery(redirectTo, {{"code", flow->authCode}}));
        return;
    }
    const auto session = TokenIssuer(context).signIn(*user, amrFor(consumed->kind));
    response.status = 303;
    response.set_header(
        "Location",
        authhttp::withFragment(redirectTo, {{"access_token", session["access_token"].get<std::string>()},
                                            {"expires_at", std::to_string(session["expires_at"].get<std::int64_t>())},
                                            {"expires_in", std::to_string(session["expires_in"].get<std::int64_t>())},
                                            {"refresh_token", session["refresh_token"].get<std::string>()},
                                            {"sb", ""},
                                            {"token_type", "bearer"},
                                            {"type", consumed->kind}}));
}

} // namespace

void registerVerifyRoutes(httplib::Server &server, ServerContext &context)
{
    server.Post("/auth/v1/verify", authhttp::route([&context](const auto &request, auto &response) {
                    verifyPost(context, request, response);
                }));
    server.Get("/auth/v1/verify", authhttp::route([&context](const auto &request, auto &response) {
                   verifyLink(context, request, response);
               }));
}

} // namespace wordloom
