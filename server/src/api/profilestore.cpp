#include "api/profilestore.h"

#include "api/apihttp.h"
#include "app/servercontext.h"

namespace wordloom {

nlohmann::json ProfileStore::profile(const std::string &userId)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT u.id, u.email, p.full_name, p.avatar_url, p.locale, "
                                          "p.user_instructions, p.created_at FROM users u JOIN profiles p ON "
                                          "p.user_id = u.id WHERE u.id = ?");
    statement.bind(userId);
    if (!statement.step()) {
        throw ApiError(404, "Profile not found");
    }
    nlohmann::json json = {{"id", statement.text(0)}, {"email", statement.text(1)}, {"created_at", statement.text(6)}};
    const char *optionalKeys[] = {"full_name", "avatar_url", "locale", "user_instructions"};
    for (int i = 0; i < 4; ++i) {
        const auto value = statement.optionalText(2 + i);
        json[optionalKeys[i]] = value ? nlohmann::json(*value) : nlohmann::json(nullptr);
    }
    return json;
}

void ProfileStore::update(const std::string &userId, const std::optional<std::string> &fullName,
                          const std::optional<std::string> &userInstructions)
{
    Transaction transaction(m_context.db);
    const std::string now = m_context.clock.nowIso();
    if (fullName) {
        m_context.db.prepare("UPDATE profiles SET full_name = ?, updated_at = ? WHERE user_id = ?")
            .bind(*fullName, now, userId)
            .run();
    }
    if (userInstructions) {
        m_context.db.prepare("UPDATE profiles SET user_instructions = ?, updated_at = ? WHERE user_id = ?")
            .bind(*userInstructions, now, userId)
            .run();
    }
    transaction.commit();
}

std::string ProfileStore::instructions(const std::string &userId)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT IFNULL(user_instructions, '') FROM profiles WHERE user_id = ?");
    statement.bind(userId);
    return statement.step() ? statement.text(0) : std::string();
}

nlohmann::json ProfileStore::credits(const std::string &userId)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT total_credits, used_credits FROM profiles WHERE user_id = ?");
    statement.bind(userId);
    if (!statement.step()) {
        throw ApiError(404, "Profile not found");
    }
    const std::int64_t total = statement.integer(0);
    const std::int64_t used = statement.integer(1);
    return {{"total_credits", total},
            {"used_credits", used},
            {"remaining_credits", total - used},
            {"subscription_credits", 0},
            {"reset_at", nullptr}};
}

std::int64_t ProfileStore::remainingCredits(const std::string &userId)
{
    return credits(userId)["remaining_credits"].get<std::int64_t>();
}

bool ProfileStore::charge(const std::string &userId, std::int64_t amount)
{
    auto lock = m_context.db.lock();
    return m_context.db
               .prepare("UPDATE profiles SET used_credits = used_credits + ?1, updated_at = ?2 "
                        "WHERE user_id = ?3 AND total_credits - used_credits >= ?1")
               .bind(amount, m_context.clock.nowIso(), userId)
               .run() == 1;
}

} // namespace wordloom
