#include "support/testserver.h"

#include "core/crypto.h"

#include <gtest/gtest.h>

namespace wordloom::test {

std::string HttpResult::header(const std::string &name) const
{
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

ServerConfig testConfig()
{
    ServerConfig config;
    config.port = 0;
    config.databasePath = ":memory:";
    config.confirmEmail = false;
    config.logRequests = false;
    return config;
}

TestServer::TestServer(ServerConfig config)
    : m_server(std::make_unique<WordloomServer>(std::move(config)))
{
    m_server->start();
    m_client = std::make_unique<httplib::Client>(m_server->origin());
    m_client->set_read_timeout(60, 0);
}

TestServer::~TestServer()
{
    // The client's keep-alive connection goes first, so stopping the server does not wait for it.
    m_client.reset();
    m_server->stop();
}

HttpResult TestServer::convert(const httplib::Result &result)
{
    HttpResult converted;
    if (!result) {
        ADD_FAILURE() << "request failed: " << httplib::to_string(result.error());
        return converted;
    }
    converted.status = result->status;
    converted.raw = result->body;
    converted.headers = result->headers;
    converted.body = nlohmann::json::parse(result->body, nullptr, false);
    return converted;
}

HttpResult TestServer::get(const std::string &path, const httplib::Headers &headers)
{
    return convert(m_client->Get(path, headers));
}

HttpResult TestServer::del(const std::string &path, const httplib::Headers &headers)
{
    return convert(m_client->Delete(path, headers));
}

HttpResult TestServer::post(const std::string &path, const nlohmann::json &body, const httplib::Headers &headers)
{
    return postRaw(path, body.dump(), "application/json", headers);
}

HttpResult TestServer::postRaw(const std::string &path, const std::string &body, const std::string &contentType,
                               const httplib::Headers &headers)
{
    return convert(m_client->Post(path, headers, body, contentType));
}

HttpResult TestServer::put(const std::string &path, const nlohmann::json &body, const httplib::Headers &headers)
{
    return convert(m_client->Put(path, headers, body.dump(), "application/json"));
}

HttpResult TestServer::patch(const std::string &path, const nlohmann::json &body, const httplib::Headers &headers)
{
    return convert(m_client->Patch(path, headers, body.dump(), "application/json"));
}

HttpResult TestServer::upload(const std::string &path, const httplib::MultipartFormDataItems &items,
                              const httplib::Headers &headers)
{
    return convert(m_client->Post(path, headers, items));
}

Account accountFrom(const nlohmann::json &session, const std::string &email, const std::string &password)
{
    Account account;
    account.email = email;
    account.password = password;
    if (session.is_object() && session.contains("access_token")) {
        account.accessToken = session["access_token"].get<std::string>();
        account.refreshToken = session["refresh_token"].get<std::string>();
        account.userId = session["user"]["id"].get<std::string>();
    }
    return account;
}

Account TestServer::signUp(const std::string &email, const std::string &password, const nlohmann::json &metadata)
{
    nlohmann::json body = {{"email", email}, {"password", password}};
    if (!metadata.is_null()) {
        body["data"] = metadata;
    }
    const auto result = post("/auth/v1/signup", body);
    EXPECT_EQ(result.status, 200) << result.raw;
    return accountFrom(result.body, email, password);
}

Account TestServer::signIn(const std::string &email, const std::string &password)
{
    const auto result = post("/auth/v1/token?grant_type=password", {{"email", email}, {"password", password}});
    EXPECT_EQ(result.status, 200) << result.raw;
    return accountFrom(result.body, email, password);
}

nlohmann::json TestServer::mailbox(const std::string &email)
{
    return get("/dev/mailbox?email=" + email).body["messages"];
}

nlohmann::json TestServer::lastMail(const std::string &email)
{
    const auto messages = mailbox(email);
    EXPECT_FALSE(messages.empty()) << "no mail to " << email;
    return messages.empty() ? nlohmann::json::object() : messages.back();
}

nlohmann::json jwtClaims(const std::string &token)
{
    const auto first = token.find('.');
    const auto second = token.find('.', first + 1);
    const auto payload = crypto::base64UrlDecode(token.substr(first + 1, second - first - 1));
    return payload ? nlohmann::json::parse(*payload) : nlohmann::json();
}

} // namespace wordloom::test
