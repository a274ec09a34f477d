#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace wordloom {

struct ServerContext;

struct UserRecord
{
    std::string id;
    std::string email;
    std::optional<std::string> passwordHash;
    nlohmann::json userMetadata = nlohmann::json::object();
    std::string provider = "email";
    std::optional<std::string> emailConfirmedAt;
    std::optional<std::string> confirmationSentAt;
    std::optional<std::string> recoverySentAt;
    std::optional<std::string> lastSignInAt;
    std::string createdAt;
    std::string updatedAt;

    bool isConfirmed() const { return emailConfirmedAt.has_value(); }
};

// Accounts of the identity service. Creating a user also creates its backend profile with the starting credits.
class UserStore
{
public:
    explicit UserStore(ServerContext &context)
        : m_context(context)
    {}

    std::optional<UserRecord> findByEmail(const std::string &email);
    std::optional<UserRecord> findById(const std::string &id);
    UserRecord create(const std::string &email, const std::optional<std::string> &passwordHash,
                      const nlohmann::json &metadata, const std::string &provider, bool confirmed);

    void setPassword(const std::string &id, const std::string &passwordHash);
    void confirmEmail(const std::string &id);
    void markConfirmationSent(const std::string &id);
    void markRecoverySent(const std::string &id);
    void touchSignIn(const std::string &id);
    void mergeMetadata(const std::string &id, const nlohmann::json &data);

private:
    void setColumnToNow(const std::string &id, const char *column);

    ServerContext &m_context;
};

} // namespace wordloom
