#include "auth/flowstore.h"

#include "app/servercontext.h"
#include "core/crypto.h"

namespace wordloom {

FlowState FlowStore::create(const std::string &kind, const std::string &provider,
                            const std::optional<std::string> &userId, const std::string &codeChallenge,
                            const std::string &method, const std::string &redirectTo)
{
    FlowState flow{crypto::uuid(), crypto::uuid(), userId,
                   kind,           provider,       codeChallenge,
                   method,         redirectTo,     m_context.clock.nowSeconds()};
    auto lock = m_context.db.lock();
    m_context.db
        .prepare("INSERT INTO flow_states (id, auth_code, user_id, kind, provider, code_challenge, "
                 "code_challenge_method, redirect_to, created_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")
        .bind(flow.id, flow.authCode, flow.userId, flow.kind, flow.provider, flow.codeChallenge,
              flow.codeChallengeMethod, flow.redirectTo, flow.createdAt)
        .run();
    return flow;
}

std::optional<FlowState> FlowStore::findWhere(const char *column, const std::string &value)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare(std::string("SELECT id, auth_code, user_id, kind, provider, code_challenge, "
                                                      "code_challenge_method, redirect_to, created_at FROM flow_states "
                                                      "WHERE ") +
                                          column + " = ?");
    statement.bind(value);
    if (!statement.step()) {
        return std::nullopt;
    }
    return FlowState{statement.text(0), statement.text(1), statement.optionalText(2),
                     statement.text(3), statement.text(4), statement.text(5),
                     statement.text(6), statement.text(7), statement.integer(8)};
}

std::optional<FlowState> FlowStore::find(const std::string &id)
{
    return findWhere("id", id);
}

std::optional<FlowState> FlowStore::findByAuthCode(const std::string &authCode)
{
    return findWhere("auth_code", authCode);
}

void FlowStore::setUser(const std::string &id, const std::string &userId)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("UPDATE flow_states SET user_id = ? WHERE id = ?").bind(userId, id).run();
}

void FlowStore::remove(const std::string &id)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("DELETE FROM flow_states WHERE id = ?").bind(id).run();
}

} // namespace wordloom
