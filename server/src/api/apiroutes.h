#pragma once

namespace httplib {
class Server;
}

namespace wordloom {

struct ServerContext;

// The backend endpoints under /api/v1, one group per file.
void registerProfileRoutes(httplib::Server &server, ServerContext &context);
void registerSkillRoutes(httplib::Server &server, ServerContext &context);
void registerPromptRoutes(httplib::Server &server, ServerContext &context);
void registerHistoryRoutes(httplib::Server &server, ServerContext &context);
void registerFavoriteRoutes(httplib::Server &server, ServerContext &context);
void registerTranscriptionRoutes(httplib::Server &server, ServerContext &context);

} // namespace wordloom
