#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace wordloom {

struct ServerContext;
struct UserRecord;

// E-mailed one-time codes and the development mailbox that stands in for sending them.
// A code is stored only as token_hash = hex(SHA-224(email + code)); the mailbox keeps the message as it would have
// been sent, for local use and tests.
class OtpStore
{
public:
    struct Consumed
    {
        std::string userId;
        std::string kind;
        std::optional<std::string> flowId;
    };

    explicit OtpStore(ServerContext &context)
        : m_context(context)
    {}

    // Throws AuthError 429 when a message went to this address less than the send interval ago.
    void checkSendInterval(const std::string &email);
    // Issues a new code of `kind` (signup, magiclink, recovery), replacing older ones of that kind, and records the
    // message with its code and verification link in the mailbox.
    void send(const UserRecord &user, const std::string &kind, const std::string &redirectTo,
              const std::optional<std::string> &flowId);
    // Consumes an unexpired code of one of `kinds` for the e-mail address.
    std::optional<Consumed> consumeCode(const std::string &email, const std::string &code,
                                        const std::vector<std::string> &kinds);
    // Consumes an unexpired code by its token hash (with or without the "pkce_" prefix).
    std::optional<Consumed> consumeHash(const std::string &tokenHash, const std::vector<std::string> &kinds);
    void removeAllOfUser(const std::string &userId);
    nlohmann::json mailboxFor(const std::string &email);

private:
    std::optional<Consumed> consume(const std::string &tokenHash, const std::vector<std::string> &kinds);

    ServerContext &m_context;
};

} // namespace wordloom
