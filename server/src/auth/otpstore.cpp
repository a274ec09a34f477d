#include "auth/otpstore.h"

#include "app/servercontext.h"
#include "auth/autherror.h"
#include "auth/userstore.h"
#include "core/crypto.h"
#include "core/textutil.h"

namespace wordloom {

namespace {

constexpr std::int64_t kSendIntervalSeconds = 60;
constexpr std::int64_t kCodeLifetimeSeconds = 3600;
constexpr const char *kPkcePrefix = "pkce_";

std::string subjectFor(const std::string &kind)
{
    if (kind == "signup") {
        return "Confirm your signup";
    }
    if (kind == "recovery") {
        return "Reset your password";
    }
    return "Your sign-in code";
}

} // namespace

void OtpStore::checkSendInterval(const std::string &email)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT MAX(sent_epoch) FROM mailbox WHERE email = ?");
    statement.bind(email);
    statement.step();
    if (statement.optionalText(0)) {
        const std::int64_t elapsed = m_context.clock.nowSeconds() - statement.integer(0);
        if (elapsed < kSendIntervalSeconds) {
            throw AuthError(429, "over_email_send_rate_limit",
                            "For security purposes, you can only request this after " +
                                std::to_string(kSendIntervalSeconds - elapsed) + " seconds.");
        }
    }
}

void OtpStore::send(const UserRecord &user, const std::string &kind, const std::string &redirectTo,
                    const std::optional<std::string> &flowId)
{
    const std::string code = crypto::randomDigits(m_context.config.otpLength);
    const std::string tokenHash = crypto::hex(crypto::sha224(user.email + code));
    const std::string linkToken = flowId ? kPkcePrefix + tokenHash : tokenHash;
    const std::string linkType = kind == "magiclink" ? "magiclink" : kind;
    const std::string link = m_context.publicUrl + "/auth/v1/verify?token=" + linkToken + "&type=" + linkType +
                             "&redirect_to=" + text::urlEncode(redirectTo);
    Transaction transaction(m_context.db);
    m_context.db.prepare("DELETE FROM one_time_tokens WHERE user_id = ? AND kind = ?").bind(user.id, kind).run();
    m_context.db
        .prepare("INSERT INTO one_time_tokens (user_id, kind, token_hash, flow_id, created_at) VALUES (?, ?, ?, ?, ?)")
        .bind(user.id, kind, tokenHash, flowId, m_context.clock.nowSeconds())
        .run();
    m_context.db
        .prepare("INSERT INTO mailbox (email, kind, subject, code, token_hash, link, redirect_to, sent_at, "
                 "sent_epoch) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")
        .bind(user.email, kind, subjectFor(kind), code, linkToken, link, redirectTo, m_context.clock.nowIso(),
              m_context.clock.nowSeconds())
        .run();
    transaction.commit();
}

std::optional<OtpStore::Consumed> OtpStore::consumeCode(const std::string &email, const std::string &code,
                                                        const std::vector<std::string> &kinds)
{
    return consume(crypto::hex(crypto::sha224(email + code)), kinds);
}

std::optional<OtpStore::Consumed> OtpStore::consumeHash(const std::string &tokenHash,
                                                        const std::vector<std::string> &kinds)
{
    const std::string bare = tokenHash.starts_with(kPkcePrefix) ? tokenHash.substr(5) : tokenHash;
    return consume(bare, kinds);
}

std::optional<OtpStore::Consumed> OtpStore::consume(const std::string &tokenHash, const std::vector<std::string> &kinds)
{
    Transaction transaction(m_context.db);
    // Kinds are tried in the given order, so "email" prefers a sign-up confirmation over a sign-in code.
    for (const auto &kind : kinds) {
        auto statement = m_context.db.prepare(
            "SELECT id, user_id, flow_id, created_at FROM one_time_tokens WHERE token_hash = ? AND kind = ?");
        statement.bind(tokenHash, kind);
        if (!statement.step()) {
            continue;
        }
        const std::int64_t id = statement.integer(0);
        Consumed consumed{statement.text(1), kind, statement.optionalText(2)};
        const bool expired = m_context.clock.nowSeconds() - statement.integer(3) > kCodeLifetimeSeconds;
        m_context.db.prepare("DELETE FROM one_time_tokens WHERE id = ?").bind(id).run();
        transaction.commit();
        if (expired) {
            return std::nullopt;
        }
        return consumed;
    }
    return std::nullopt;
}

void OtpStore::removeAllOfUser(const std::string &userId)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("DELETE FROM one_time_tokens WHERE user_id = ?").bind(userId).run();
}

nlohmann::json OtpStore::mailboxFor(const std::string &email)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT kind, subject, code, token_hash, link, redirect_to, sent_at FROM "
                                          "mailbox WHERE email = ? ORDER BY id");
    statement.bind(email);
    nlohmann::json messages = nlohmann::json::array();
    while (statement.step()) {
        messages.push_back({{"to", email},
                            {"type", statement.text(0)},
                            {"subject", statement.text(1)},
                            {"code", statement.text(2)},
                            {"token_hash", statement.text(3)},
                            {"link", statement.text(4)},
                            {"redirect_to", statement.text(5)},
                            {"sent_at", statement.text(6)}});
    }
    return {{"email", email}, {"messages", messages}};
}

} // namespace wordloom
