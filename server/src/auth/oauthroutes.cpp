#include "app/servercontext.h"
#include "auth/autherror.h"
#include "auth/authhttp.h"
#include "auth/authroutes.h"
#include "auth/flowstore.h"
#include "auth/tokenissuer.h"
#include "core/textutil.h"

namespace wordloom {

namespace {

constexpr const char *kConsentPath = "/auth/v1/provider-stand-in";

std::string providerTitle(const std::string &provider)
{
    return provider == "apple" ? "Apple" : "Google";
}

// The local stand-in for the provider's consent page: the user picks the e-mail the provider would report and
// continues or cancels.
std::string consentPage(const FlowState &flow, const std::string &email, const std::string &problem)
{
    const std::string title = providerTitle(flow.provider);
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Sign in with " + title +
                       "</title></head>\n<body style=\"font-family:sans-serif;max-width:28em;margin:3em auto\">\n"
                       "<h1>Sign in with " +
                       title + "</h1>\n<p>This is the local stand-in for " + title +
                       "'s sign-in page. Continuing signs you in with the address below.</p>\n";
    if (!problem.empty()) {
        page += "<p style=\"color:#b00020\">" + text::htmlEscape(problem) + "</p>\n";
    }
    page += "<form method=\"post\" action=\"" + std::string(kConsentPath) +
            "\">\n<input type=\"hidden\" name=\"state\" value=\"" + text::htmlEscape(flow.id) +
            "\">\n<label>E-mail <input type=\"email\" name=\"email\" value=\"" + text::htmlEscape(email) +
            "\"></label>\n<p><button type=\"submit\" name=\"action\" value=\"continue\">Continue</button>\n"
            "<button type=\"submit\" name=\"action\" value=\"cancel\">Cancel</button></p>\n</form>\n</body></html>\n";
    return page;
}

void authorize(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const std::string provider = request.get_param_value("provider");
    if (provider != "google" && provider != "apple") {
        throw AuthError(400, "validation_failed", "Unsupported provider: provider is not enabled");
    }
    std::optional<std::string> challenge;
    std::optional<std::string> method;
    if (request.has_param("code_challenge")) {
        challenge = request.get_param_value("code_challenge");
    }
    if (request.has_param("code_challenge_method")) {
        method = request.get_param_value("code_challenge_method");
    }
    const bool pkce = authhttp::validateChallenge(challenge, method);
    const std::string redirectTo = authhttp::resolveRedirect(context, request.get_param_value("redirect_to"));
    const auto flow = FlowStore(context).create("oauth", provider, std::nullopt, pkce ? *challenge : "",
                                                pkce ? text::toLowerAscii(*method) : "implicit", redirectTo);
    response.status = 302;
    response.set_header("Location", context.publicUrl + kConsentPath + "?state=" + flow.id);
}

std::optional<FlowState> liveFlow(ServerContext &context, const std::string &id)
{
    auto flow = FlowStore(context).find(id);
    if (!flow || flow->kind != "oauth" || context.clock.nowSeconds() - flow->createdAt > kFlowLifetimeSeconds) {
        return std::nullopt;
    }
    return flow;
}

void sendExpiredPage(httplib::Response &response)
{
    response.status = 404;
    response.set_content("<!DOCTYPE html>\n<html><body><p>This sign-in request has expired. Start the sign-in again "
                         "from the application.</p></body></html>\n",
                         "text/html; charset=utf-8");
}

void showConsent(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto flow = liveFlow(context, request.get_param_value("state"));
    if (!flow) {
        sendExpiredPage(response);
        return;
    }
    response.set_content(consentPage(*flow, flow->provider + ".user@example.com", ""), "text/html; charset=utf-8");
}

void answerConsent(ServerContext &context, const httplib::Request &request, httplib::Response &response)
{
    const auto flow = liveFlow(context, request.get_param_value("state"));
    if (!flow) {
        sendExpiredPage(response);
        return;
    }
    FlowStore flows(context);
    if (request.get_param_value("action") != "continue") {
        flows.remove(flow->id);
        const std::vector<std::pair<std::string, std::string>> error = {
            {"error", "access_denied"},
            {"error_code", "access_denied"},
            {"error_description", "The user cancelled the sign-in"}};
        auto fragment = error;
        fragment.emplace_back("sb", "");
        response.status = 302;
        response.set_header("Location", authhttp::withFragment(authhttp::withQuery(flow->redirectTo, error), fragment));
        return;
    }
    const std::string email = text::toLowerAscii(text::trim(request.get_param_value("email")));
    if (!text::isValidEmail(email)) {
        response.status = 400;
        response.set_content(consentPage(*flow, email, "Enter a valid e-mail address."), "text/html; charset=utf-8");
        return;
    }
    UserStore users(context);
    auto user = users.findByEmail(email);
    if (!user) {
        user = users.create(email, std::nullopt, nlohmann::json::object(), flow->provider, true);
    } else {
        // The provider vouches for the address.
        users.confirmEmail(user->id);
    }
    response.status = 302;
    if (flow->codeChallengeMethod != "implicit") {
        flows.setUser(flow->id, user->id);
        response.set_header("Location", authhttp::withQuery(flow->redirectTo, {{"code", flow->authCode}}));
        return;
    }
    flows.remove(flow->id);
    const auto session = TokenIssuer(context).signIn(*users.findById(user->id), "oauth");
    response.set_header(
        "Location", authhttp::withFragment(flow->redirectTo,
                                           {{"access_token", session["access_token"].get<std::string>()},
                                            {"expires_at", std::to_string(session["expires_at"].get<std::int64_t>())},
                                            {"expires_in", std::to_string(session["expires_in"].get<std::int64_t>())},
                                            {"refresh_token", session["refresh_token"].get<std::string>()},
                                            {"sb", ""},
                                            {"token_type", "bearer"}}));
}

} // namespace

void registerOAuthRoutes(httplib::Server &server, ServerContext &context)
{
    server.Get("/auth/v1/authorize", authhttp::route([&context](const auto &request, auto &response) {
                   authorize(context, request, response);
               }));
    server.Get(kConsentPath, authhttp::route([&context](const auto &request, auto &response) {
                   showConsent(context, request, response);
               }));
    server.Post(kConsentPath, authhttp::route([&context](const auto &request, auto &response) {
                    answerConsent(context, request, response);
                }));
}

} // namespace wordloom
