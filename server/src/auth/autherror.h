#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace wordloom {

// An identity-service error: HTTP status, machine-readable code and the human message.
class AuthError : public std::runtime_error
{
public:
    AuthError(int status, std::string code, const std::string &message, nlohmann::json extra = nlohmann::json::object())
        : std::runtime_error(message)
        , m_status(status)
        , m_code(std::move(code))
        , m_extra(std::move(extra))
    {}

    int status() const { return m_status; }
    const std::string &code() const { return m_code; }
    const nlohmann::json &extra() const { return m_extra; }

private:
    int m_status;
    std::string m_code;
    nlohmann::json m_extra;
};

// The OAuth-style error body ({"error", "error_description"}) a few grant paths still answer with.
class OAuthStyleError : public std::runtime_error
{
public:
    OAuthStyleError(std::string error, const std::string &description)
        : std::runtime_error(description)
        , m_error(std::move(error))
    {}
    const std::string &error() const { return m_error; }

private:
    std::string m_error;
};

// Writes the error in the versioned shape when the request names an API version, else the unversioned one.
void renderAuthError(const httplib::Request &request, httplib::Response &response, const AuthError &error);
void renderOAuthStyleError(httplib::Response &response, const OAuthStyleError &error);

} // namespace wordloom
