#pragma once

#include "app/config.h"
#include "app/servercontext.h"
#include "app/wordloomserver.h"

#include <chrono>
#include <httplib.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace wordloom::test {

struct HttpResult
{
    int status = 0;
    nlohmann::json body;
    std::string raw;
    httplib::Headers headers;

    std::string header(const std::string &name) const;
    std::string detail() const { return body.is_object() ? body.value("detail", std::string()) : std::string(); }
};

// A signed-in account: its tokens and id.
struct Account
{
    std::string email;
    std::string password;
    std::string userId;
    std::string accessToken;
    std::string refreshToken;

    httplib::Headers bearer() const { return {{"Authorization", "Bearer " + accessToken}}; }
};

// Configuration of a server for one test: random port, in-memory database, no request log, no e-mail
// confirmation unless a test turns it on.
ServerConfig testConfig();

// A wordloom-server running in this process on a free loopback port, with a small HTTP client for it.
class TestServer
{
public:
    explicit TestServer(ServerConfig config = testConfig());
    ~TestServer();

    HttpResult get(const std::string &path, const httplib::Headers &headers = {});
    HttpResult del(const std::string &path, const httplib::Headers &headers = {});
    HttpResult post(const std::string &path, const nlohmann::json &body, const httplib::Headers &headers = {});
    HttpResult postRaw(const std::string &path, const std::string &body, const std::string &contentType,
                       const httplib::Headers &headers = {});
    HttpResult put(const std::string &path, const nlohmann::json &body, const httplib::Headers &headers = {});
    HttpResult patch(const std::string &path, const nlohmann::json &body, const httplib::Headers &headers = {});
    HttpResult upload(const std::string &path, const httplib::MultipartFormDataItems &items,
                      const httplib::Headers &headers = {});

    // Signs up (confirmation off) and returns the session.
    Account signUp(const std::string &email, const std::string &password = "correct-horse",
                   const nlohmann::json &metadata = nullptr);
    Account signIn(const std::string &email, const std::string &password);
    nlohmann::json mailbox(const std::string &email);
    // The newest message to the address (fails the test when there is none).
    nlohmann::json lastMail(const std::string &email);

    void advanceClock(std::chrono::seconds by) { m_server->context().clock.advance(by); }
    ServerContext &context() { return m_server->context(); }
    std::string origin() const { return m_server->origin(); }
    httplib::Client &client() { return *m_client; }

private:
    static HttpResult convert(const httplib::Result &result);

    std::unique_ptr<WordloomServer> m_server;
    std::unique_ptr<httplib::Client> m_client;
};

// Accounts from a session response.
Account accountFrom(const nlohmann::json &session, const std::string &email, const std::string &password);
// The decoded claims of a JWT (no verification).
nlohmann::json jwtClaims(const std::string &token);

} // namespace wordloom::test
