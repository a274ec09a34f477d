#include "auth/userstore.h"

#include "app/servercontext.h"
#include "core/crypto.h"

namespace wordloom {

namespace {

constexpr const char *kUserColumns = "id, email, password_hash, user_metadata, provider, email_confirmed_at, "
                                     "confirmation_sent_at, recovery_sent_at, last_sign_in_at, created_at, updated_at";

UserRecord readUser(const Statement &row)
{
    UserRecord user;
    user.id = row.text(0);
    user.email = row.text(1);
    user.passwordHash = row.optionalText(2);
    user.userMetadata = nlohmann::json::parse(row.text(3), nullptr, false);
    if (!user.userMetadata.is_object()) {
        user.userMetadata = nlohmann::json::object();
    }
    user.provider = row.text(4);
    user.emailConfirmedAt = row.optionalText(5);
    user.confirmationSentAt = row.optionalText(6);
    user.recoverySentAt = row.optionalText(7);
    user.lastSignInAt = row.optionalText(8);
    user.createdAt = row.text(9);
    user.updatedAt = row.text(10);
    return user;
}

} // namespace

std::optional<UserRecord> UserStore::findByEmail(const std::string &email)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare(std::string("SELECT ") + kUserColumns + " FROM users WHERE email = ?");
    statement.bind(email);
    if (!statement.step()) {
        return std::nullopt;
    }
    return readUser(statement);
}

std::optional<UserRecord> UserStore::findById(const std::string &id)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare(std::string("SELECT ") + kUserColumns + " FROM users WHERE id = ?");
    statement.bind(id);
    if (!statement.step()) {
        return std::nullopt;
    }
    return readUser(statement);
}

UserRecord UserStore::create(const std::string &email, const std::optional<std::string> &passwordHash,
                             const nlohmann::json &metadata, const std::string &provider, bool confirmed)
{
    const std::string id = crypto::uuid();
    const std::string now = m_context.clock.nowIso();
    const std::optional<std::string> confirmedAt = confirmed ? std::optional(now) : std::nullopt;
    std::optional<std::string> fullName;
    if (metadata.is_object() && metadata.contains("full_name") && metadata["full_name"].is_string()) {
        fullName = metadata["full_name"].get<std::string>();
    }
    Transaction transaction(m_context.db);
    m_context.db
        .prepare("INSERT INTO users (id, email, password_hash, user_metadata, provider, email_confirmed_at, "
                 "created_at, updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
        .bind(id, email, passwordHash, metadata.dump(), provider, confirmedAt, now, now)
        .run();
    m_context.db
        .prepare("INSERT INTO profiles (user_id, full_name, total_credits, created_at, updated_at) "
                 "VALUES (?, ?, ?, ?, ?)")
        .bind(id, fullName, m_context.config.initialCredits, now, now)
        .run();
    transaction.commit();
    return *findById(id);
}

void UserStore::setPassword(const std::string &id, const std::string &passwordHash)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("UPDATE users SET password_hash = ?, updated_at = ? WHERE id = ?")
        .bind(passwordHash, m_context.clock.nowIso(), id)
        .run();
}

void UserStore::setColumnToNow(const std::string &id, const char *column)
{
    auto lock = m_context.db.lock();
    const std::string now = m_context.clock.nowIso();
    m_context.db.prepare(std::string("UPDATE users SET ") + column + " = ?, updated_at = ? WHERE id = ?")
        .bind(now, now, id)
        .run();
}

void UserStore::confirmEmail(const std::string &id)
{
    auto lock = m_context.db.lock();
    const std::string now = m_context.clock.nowIso();
    m_context.db
        .prepare("UPDATE users SET email_confirmed_at = IFNULL(email_confirmed_at, ?), updated_at = ? "
                 "WHERE id = ?")
        .bind(now, now, id)
        .run();
}

void UserStore::markConfirmationSent(const std::string &id)
{
    setColumnToNow(id, "confirmation_sent_at");
}

void UserStore::markRecoverySent(const std::string &id)
{
    setColumnToNow(id, "recovery_sent_at");
}

void UserStore::touchSignIn(const std::string &id)
{
    setColumnToNow(id, "last_sign_in_at");
}

void UserStore::mergeMetadata(const std::string &id, const nlohmann::json &data)
{
    auto lock = m_context.db.lock();
    auto user = findById(id);
    if (!user) {
        return;
    }
    nlohmann::json merged = user->userMetadata;
    merged.update(data);
    m_context.db.prepare("UPDATE users SET user_metadata = ?, updated_at = ? WHERE id = ?")
        .bind(merged.dump(), m_context.clock.nowIso(), id)
        .run();
}

} // namespace wordloom
