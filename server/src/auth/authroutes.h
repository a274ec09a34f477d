#pragma once

namespace httplib {
class Server;
}

namespace wordloom {

struct ServerContext;

// The identity-service endpoints under /auth/v1, one group per file.
void registerSignUpRoutes(httplib::Server &server, ServerContext &context);
void registerTokenRoutes(httplib::Server &server, ServerContext &context);
void registerOtpRoutes(httplib::Server &server, ServerContext &context);
void registerVerifyRoutes(httplib::Server &server, ServerContext &context);
void registerUserRoutes(httplib::Server &server, ServerContext &context);
void registerOAuthRoutes(httplib::Server &server, ServerContext &context);
// GET /dev/mailbox: the messages that would have been e-mailed (loopback callers only).
void registerMailboxRoutes(httplib::Server &server, ServerContext &context);

} // namespace wordloom
