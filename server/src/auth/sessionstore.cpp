#include "auth/sessionstore.h"

#include "app/servercontext.h"
#include "core/crypto.h"

namespace wordloom {

namespace {

// How long the token that was just rotated away may still be presented once more.
constexpr std::int64_t kReuseGraceSeconds = 10;

std::string digestOf(const std::string &token)
{
    return crypto::hex(crypto::sha256(token));
}

} // namespace

std::string SessionStore::issueToken(const std::string &sessionId, const std::optional<std::string> &parentHash)
{
    const std::string token = crypto::randomToken(24);
    m_context.db
        .prepare("INSERT INTO refresh_tokens (token_hash, session_id, parent_hash, created_at) VALUES (?, ?, ?, ?)")
        .bind(digestOf(token), sessionId, parentHash, m_context.clock.nowSeconds())
        .run();
    return token;
}

std::pair<std::string, std::string> SessionStore::create(const std::string &userId, const std::string &amrMethod)
{
    const std::string sessionId = crypto::uuid();
    Transaction transaction(m_context.db);
    m_context.db.prepare("INSERT INTO sessions (id, user_id, amr_method, amr_time, created_at) VALUES (?, ?, ?, ?, ?)")
        .bind(sessionId, userId, amrMethod, m_context.clock.nowSeconds(), m_context.clock.nowIso())
        .run();
    std::string token = issueToken(sessionId, std::nullopt);
    transaction.commit();
    return {sessionId, token};
}

SessionStore::Rotation SessionStore::rotate(const std::string &presentedToken)
{
    const std::string presentedHash = digestOf(presentedToken);
    const std::int64_t now = m_context.clock.nowSeconds();
    Transaction transaction(m_context.db);
    auto lookup = m_context.db.prepare("SELECT session_id, revoked_at FROM refresh_tokens WHERE token_hash = ?");
    lookup.bind(presentedHash);
    if (!lookup.step()) {
        return {};
    }
    const std::string sessionId = lookup.text(0);
    const auto revokedAt = lookup.optionalText(1);
    if (revokedAt) {
        auto child =
            m_context.db.prepare("SELECT token_hash FROM refresh_tokens WHERE parent_hash = ? AND revoked_at IS NULL");
        child.bind(presentedHash);
        const bool childActive = child.step();
        if (!childActive || now - lookup.integer(1) > kReuseGraceSeconds) {
            m_context.db.prepare("DELETE FROM sessions WHERE id = ?").bind(sessionId).run();
            transaction.commit();
            return {RotateOutcome::AlreadyUsed, sessionId, {}};
        }
        const std::string childHash = child.text(0);
        m_context.db.prepare("UPDATE refresh_tokens SET revoked_at = ? WHERE token_hash = ?")
            .bind(now, childHash)
            .run();
        std::string token = issueToken(sessionId, childHash);
        transaction.commit();
        return {RotateOutcome::Rotated, sessionId, token};
    }
    m_context.db.prepare("UPDATE refresh_tokens SET revoked_at = ? WHERE token_hash = ?")
        .bind(now, presentedHash)
        .run();
    std::string token = issueToken(sessionId, presentedHash);
    transaction.commit();
    return {RotateOutcome::Rotated, sessionId, token};
}

std::optional<SessionInfo> SessionStore::find(const std::string &sessionId)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT id, user_id, amr_method, amr_time FROM sessions WHERE id = ?");
    statement.bind(sessionId);
    if (!statement.step()) {
        return std::nullopt;
    }
    return SessionInfo{statement.text(0), statement.text(1), statement.text(2), statement.integer(3)};
}

void SessionStore::remove(const std::string &sessionId)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("DELETE FROM sessions WHERE id = ?").bind(sessionId).run();
}

void SessionStore::removeAllOfUser(const std::string &userId)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("DELETE FROM sessions WHERE user_id = ?").bind(userId).run();
}

void SessionStore::removeOthersOfUser(const std::string &userId, const std::string &keepSessionId)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("DELETE FROM sessions WHERE user_id = ? AND id <> ?").bind(userId, keepSessionId).run();
}

} // namespace wordloom
