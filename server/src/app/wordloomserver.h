#pragma once

#include "app/config.h"

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace wordloom {

struct ServerContext;

// The whole service: storage, identity routes, backend routes and the HTTP listener on one origin.
class WordloomServer
{
public:
    // Opens the database, seeds system skills and the --seed-user account, and registers every route.
    // Throws std::runtime_error (or std::invalid_argument for bad flag values) when it cannot.
    explicit WordloomServer(ServerConfig config);
    ~WordloomServer();
    WordloomServer(const WordloomServer &) = delete;
    WordloomServer &operator=(const WordloomServer &) = delete;

    // Binds the listening socket (port 0 picks a free one) and returns the port.
    int bind();
    // Serves until stop(); returns false when the listener failed.
    bool run();
    // bind() and run() on a background thread; returns once connections are accepted. For tests and benchmarks.
    void start();
    void stop();

    int port() const { return m_port; }
    std::string origin() const;
    ServerContext &context() { return *m_context; }

private:
    void registerRoutes();
    void seedUser();

    std::unique_ptr<ServerContext> m_context;
    std::unique_ptr<httplib::Server> m_http;
    std::thread m_thread;
    int m_port = 0;
};

} // namespace wordloom
