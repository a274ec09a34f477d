#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace wordloom {

struct ServerContext;

// The backend profile of a user: display fields, personal instructions and the credit balance.
class ProfileStore
{
public:
    explicit ProfileStore(ServerContext &context)
        : m_context(context)
    {}

    // The profile record (with created_at); throws ApiError 404 when the user has none.
    nlohmann::json profile(const std::string &userId);
    void update(const std::string &userId, const std::optional<std::string> &fullName,
                const std::optional<std::string> &userInstructions);
    std::string instructions(const std::string &userId);
    nlohmann::json credits(const std::string &userId);
    std::int64_t remainingCredits(const std::string &userId);
    // Takes `amount` credits; false (and nothing taken) when the balance cannot pay. Call inside a transaction when
    // the charge must land together with other writes.
    bool charge(const std::string &userId, std::int64_t amount);

private:
    ServerContext &m_context;
};

} // namespace wordloom
