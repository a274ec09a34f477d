#include "app/wordloomserver.h"

#include "api/apiroutes.h"
#include "app/servercontext.h"
#include "app/systemskills.h"
#include "auth/authroutes.h"
#include "auth/userstore.h"
#include "core/crypto.h"
#include "core/textutil.h"
#include "engine/llmengine.h"
#include "engine/offlineengine.h"
#include "stt/remotetranscriber.h"
#include "stt/sphinxrecognizer.h"

#include <cstdlib>
#include <filesystem>
#include <httplib.h>
#include <iostream>

namespace wordloom {

namespace {

// Each keep-alive connection holds a worker while it is open, and a generation through an LLM can wait up to the
// upstream timeout, so the pool is larger than the library's default of eight.
constexpr std::size_t kWorkerThreads = 32;

// Uploads are recordings of a few minutes; JSON bodies are limited separately to 1 MiB.
constexpr std::size_t kMaxPayloadBytes = 32 * 1024 * 1024;

std::string jwtSecretFor(Database &db, const std::string &configured)
{
    if (!configured.empty()) {
        return configured;
    }
    // The secret lives with the accounts, so sessions survive a restart of the server.
    Transaction transaction(db);
    auto select = db.prepare("SELECT value FROM server_settings WHERE key = 'jwt_secret'");
    if (select.step()) {
        return select.text(0);
    }
    const std::string secret = crypto::hex(crypto::randomBytes(32));
    db.prepare("INSERT INTO server_settings (key, value) VALUES ('jwt_secret', ?)").bind(secret).run();
    transaction.commit();
    return secret;
}

std::string apiKeyFrom(const std::string &variable, const char *flag)
{
    if (variable.empty()) {
        return {};
    }
    const char *value = std::getenv(variable.c_str());
    if (!value || !*value) {
        throw std::invalid_argument(std::string(flag) + ": environment variable " + variable + " is not set");
    }
    return value;
}

std::string statusDetail(int status)
{
    switch (status) {
    case 400:
        return "Bad request";
    case 404:
        return "Not found";
    case 405:
        return "Method not allowed";
    case 413:
        return "Request body is too large";
    case 414:
        return "Request URI is too long";
    default:
        return status >= 500 ? "Internal server error" : "Request failed";
    }
}

void prepareDatabaseDirectory(const std::string &path)
{
    if (path == ":memory:" || path.empty()) {
        return;
    }
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty() && !std::filesystem::exists(parent)) {
        std::filesystem::create_directories(parent);
        std::filesystem::permissions(parent, std::filesystem::perms::owner_all);
    }
}

} // namespace

ServerContext::ServerContext(ServerConfig serverConfig)
    : config(std::move(serverConfig))
    , db((prepareDatabaseDirectory(config.databasePath), config.databasePath))
    , jwt(jwtSecretFor(db, config.jwtSecret))
{}

ServerContext::~ServerContext() = default;

WordloomServer::WordloomServer(ServerConfig config)
    : m_context(std::make_unique<ServerContext>(std::move(config)))
    , m_http(std::make_unique<httplib::Server>())
{
    ServerContext &context = *m_context;
    const ServerConfig &settings = context.config;
    if (!settings.llmUrl.empty()) {
        context.engine = std::make_unique<LlmEngine>(settings.llmUrl, settings.llmModel,
                                                     apiKeyFrom(settings.llmApiKeyEnv, "--llm-api-key-env"),
                                                     settings.llmTimeoutSeconds);
    } else {
        context.engine = std::make_unique<OfflineEngine>();
    }
    if (!settings.sttUrl.empty()) {
        context.transcriber = std::make_unique<RemoteTranscriber>(
            settings.sttUrl, settings.sttModel, apiKeyFrom(settings.sttApiKeyEnv, "--stt-api-key-env"),
            settings.llmTimeoutSeconds);
    } else {
        context.transcriber = std::make_unique<SphinxRecognizer>(WORDLOOM_SPHINX_MODEL_DIR);
    }
    seedSystemSkills(context);
    seedUser();
    registerRoutes();
}

WordloomServer::~WordloomServer()
{
    stop();
}

void WordloomServer::seedUser()
{
    if (!m_context->config.seedUser) {
        return;
    }
    const auto &[rawEmail, password] = *m_context->config.seedUser;
    const std::string email = text::toLowerAscii(text::trim(rawEmail));
    if (!text::isValidEmail(email)) {
        throw std::invalid_argument("--seed-user: \"" + rawEmail + "\" is not an e-mail address");
    }
    if (password.size() < 6) {
        throw std::invalid_argument("--seed-user: the password needs at least 6 characters");
    }
    UserStore users(*m_context);
    const std::string hash = m_context->hasher.hash(password);
    if (const auto existing = users.findByEmail(email)) {
        // Seeding is idempotent: the account ends up confirmed with the given password.
        users.setPassword(existing->id, hash);
        users.confirmEmail(existing->id);
    } else {
        users.create(email, hash, nlohmann::json::object(), "email", true);
    }
}

void WordloomServer::registerRoutes()
{
    httplib::Server &server = *m_http;
    ServerContext &context = *m_context;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server.set_payload_max_length(kMaxPayloadBytes);
    // Answers are small and written in pieces; without this, Nagle's algorithm and delayed ACKs add tens of
    // milliseconds to every keep-alive request.
    server.set_tcp_nodelay(true);
    // SO_REUSEADDR only: the library's default SO_REUSEPORT would let a second server bind a port that is already
    // served, and the two would silently share its connections.
    server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request &request,
                                                                     httplib::Response &response) {
        if (!response.body.empty()) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        nlohmann::json body;
        if (request.path.starts_with("/auth/v1")) {
            body = {
                {"code", response.status}, {"error_code", "request_failed"}, {"msg", statusDetail(response.status)}};
        } else {
            body = {{"detail", statusDetail(response.status)}};
        }
        response.set_content(body.dump(), "application/json");
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request &request, httplib::Response &response, std::exception_ptr) {
        std::cerr << "[wordloom-server] unhandled failure in " << request.method << " " << request.path << std::endl;
        response.status = 500;
        response.set_content(R"({"detail":"Internal server error"})", "application/json");
    });
    if (context.config.logRequests) {
        // Only method, path and status: query strings can carry codes and tokens.
        server.set_logger([](const httplib::Request &request, const httplib::Response &response) {
            std::cout << "[wordloom-server] " << request.method << " " << request.path << " " << response.status
                      << std::endl;
        });
    }
    server.Get("/health", [](const httplib::Request &, httplib::Response &response) {
        response.set_content(R"({"status":"ok"})", "application/json");
    });
    registerSignUpRoutes(server, context);
    registerTokenRoutes(server, context);
    registerOtpRoutes(server, context);
    registerVerifyRoutes(server, context);
    registerUserRoutes(server, context);
    registerOAuthRoutes(server, context);
    registerMailboxRoutes(server, context);
    registerProfileRoutes(server, context);
    registerSkillRoutes(server, context);
    registerPromptRoutes(server, context);
    registerHistoryRoutes(server, context);
    registerFavoriteRoutes(server, context);
    registerTranscriptionRoutes(server, context);
}

int WordloomServer::bind()
{
    const auto &config = m_context->config;
    if (config.port == 0) {
        m_port = m_http->bind_to_any_port(config.host);
        if (m_port <= 0) {
            throw std::runtime_error("cannot listen on " + config.host);
        }
    } else {
        if (!m_http->bind_to_port(config.host, config.port)) {
            throw std::runtime_error("cannot listen on " + config.host + ":" + std::to_string(config.port) +
                                     " (is another server running there?)");
        }
        m_port = config.port;
    }
    m_context->publicUrl = origin();
    return m_port;
}

bool WordloomServer::run()
{
    return m_http->listen_after_bind();
}

void WordloomServer::start()
{
    bind();
    m_thread = std::thread([this] { run(); });
    while (!m_http->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void WordloomServer::stop()
{
    m_http->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

std::string WordloomServer::origin() const
{
    const std::string &host = m_context->config.host;
    const std::string shown = host == "0.0.0.0" ? "127.0.0.1" : host;
    const bool ipv6 = shown.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + shown + "]" : shown) + ":" + std::to_string(m_port);
}

} // namespace wordloom
