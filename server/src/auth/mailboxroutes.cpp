#include "app/servercontext.h"
#include "auth/authhttp.h"
#include "auth/authroutes.h"
#include "auth/otpstore.h"
#include "core/textutil.h"

namespace wordloom {

void registerMailboxRoutes(httplib::Server &server, ServerContext &context)
{
    server.Get("/dev/mailbox", [&context](const httplib::Request &request, httplib::Response &response) {
        // The mailbox holds live codes: only a caller on this machine may read it.
        if (!text::isLoopbackAddress(request.remote_addr)) {
            authhttp::sendJson(response, 403,
                               {{"detail", "The development mailbox is only served to loopback callers"}});
            return;
        }
        const std::string email = text::toLowerAscii(text::trim(request.get_param_value("email")));
        if (email.empty()) {
            authhttp::sendJson(response, 400, {{"detail", "Query parameter email is required"}});
            return;
        }
        authhttp::sendJson(response, 200, OtpStore(context).mailboxFor(email));
    });
}

} // namespace wordloom
