#include "api/historystore.h"

#include "app/servercontext.h"
#include "core/crypto.h"

namespace wordloom {

namespace {

constexpr const char *kFavoriteSelect =
    "SELECT f.id, f.user_id, f.history_id, f.created_at, h.input_text, h.output_text, h.tokens_used, h.created_at, "
    "h.skill_name, h.skill_slug FROM favorites f JOIN history h ON h.id = f.history_id ";

nlohmann::json optionalJson(const std::optional<std::string> &value)
{
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json readFavorite(const Statement &row)
{
    return {{"id", row.text(0)},
            {"user_id", row.text(1)},
            {"history_id", row.text(2)},
            {"created_at", row.text(3)},
            {"input_text", row.text(4)},
            {"output_text", row.text(5)},
            {"tokens_used", row.integer(6)},
            {"history_created_at", row.text(7)},
            {"skill_name", optionalJson(row.optionalText(8))},
            {"skill_slug", optionalJson(row.optionalText(9))}};
}

std::string likePattern(const std::string &search)
{
    std::string pattern = "%";
    for (const char c : search) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern.push_back('\\');
        }
        pattern.push_back(c);
    }
    return pattern + "%";
}

} // namespace

void HistoryStore::insert(const HistoryEntry &entry)
{
    auto lock = m_context.db.lock();
    m_context.db
        .prepare("INSERT INTO history (id, seq, user_id, input_text, output_text, tokens_used, skill_name, skill_slug, "
                 "target_model, created_at) VALUES (?, (SELECT IFNULL(MAX(seq), 0) + 1 FROM history), ?, ?, ?, ?, ?, "
                 "?, ?, ?)")
        .bind(entry.id, entry.userId, entry.inputText, entry.outputText, entry.tokensUsed, entry.skillName,
              entry.skillSlug, entry.targetModel, entry.createdAt)
        .run();
}

nlohmann::json HistoryStore::page(const std::string &userId, std::int64_t limit, std::int64_t offset,
                                  const std::string &search)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare(
        "SELECT h.id, h.user_id, h.input_text, h.output_text, h.tokens_used, h.created_at, h.skill_name, h.skill_slug, "
        "EXISTS (SELECT 1 FROM favorites f WHERE f.history_id = h.id) FROM history h WHERE h.user_id = ?1 AND "
        "(?2 = '' OR h.input_text LIKE ?3 ESCAPE '\\' OR h.output_text LIKE ?3 ESCAPE '\\' OR "
        "IFNULL(h.skill_name, '') LIKE ?3 ESCAPE '\\') ORDER BY h.seq DESC LIMIT ?4 OFFSET ?5");
    statement.bind(userId, search, likePattern(search), limit, offset);
    nlohmann::json items = nlohmann::json::array();
    while (statement.step()) {
        items.push_back({{"id", statement.text(0)},
                         {"user_id", statement.text(1)},
                         {"input_text", statement.text(2)},
                         {"output_text", statement.text(3)},
                         {"tokens_used", statement.integer(4)},
                         {"created_at", statement.text(5)},
                         {"skill_name", optionalJson(statement.optionalText(6))},
                         {"skill_slug", optionalJson(statement.optionalText(7))},
                         {"is_favorited", statement.integer(8) != 0}});
    }
    return items;
}

std::int64_t HistoryStore::countFor(const std::string &userId)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT COUNT(*) FROM history WHERE user_id = ?");
    statement.bind(userId);
    statement.step();
    return statement.integer(0);
}

int HistoryStore::removeOne(const std::string &userId, const std::string &id)
{
    auto lock = m_context.db.lock();
    return m_context.db.prepare("DELETE FROM history WHERE user_id = ? AND id = ?").bind(userId, id).run();
}

int HistoryStore::removeMany(const std::string &userId, const std::vector<std::string> &ids)
{
    Transaction transaction(m_context.db);
    int removed = 0;
    for (const auto &id : ids) {
        removed += m_context.db.prepare("DELETE FROM history WHERE user_id = ? AND id = ?").bind(userId, id).run();
    }
    transaction.commit();
    return removed;
}

int HistoryStore::clear(const std::string &userId)
{
    auto lock = m_context.db.lock();
    return m_context.db.prepare("DELETE FROM history WHERE user_id = ?").bind(userId).run();
}

nlohmann::json HistoryStore::favorites(const std::string &userId, std::int64_t limit, std::int64_t offset)
{
    auto lock = m_context.db.lock();
    auto statement =
        m_context.db.prepare(std::string(kFavoriteSelect) + "WHERE f.user_id = ? ORDER BY f.seq DESC LIMIT ? OFFSET ?");
    statement.bind(userId, limit, offset);
    nlohmann::json items = nlohmann::json::array();
    while (statement.step()) {
        items.push_back(readFavorite(statement));
    }
    return items;
}

std::int64_t HistoryStore::favoriteCount(const std::string &userId)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT COUNT(*) FROM favorites WHERE user_id = ?");
    statement.bind(userId);
    statement.step();
    return statement.integer(0);
}

std::optional<nlohmann::json> HistoryStore::favoriteByHistoryId(const std::string &userId, const std::string &historyId)
{
    auto statement = m_context.db.prepare(std::string(kFavoriteSelect) + "WHERE f.user_id = ? AND f.history_id = ?");
    statement.bind(userId, historyId);
    if (!statement.step()) {
        return std::nullopt;
    }
    return readFavorite(statement);
}

std::optional<nlohmann::json> HistoryStore::addFavorite(const std::string &userId, const std::string &historyId)
{
    Transaction transaction(m_context.db);
    auto owned = m_context.db.prepare("SELECT 1 FROM history WHERE id = ? AND user_id = ?");
    owned.bind(historyId, userId);
    if (!owned.step()) {
        return std::nullopt;
    }
    if (!favoriteByHistoryId(userId, historyId)) {
        m_context.db
            .prepare("INSERT INTO favorites (id, user_id, history_id, created_at, seq) VALUES (?, ?, ?, ?, "
                     "(SELECT IFNULL(MAX(seq), 0) + 1 FROM favorites))")
            .bind(crypto::uuid(), userId, historyId, m_context.clock.nowIso())
            .run();
    }
    auto favorite = favoriteByHistoryId(userId, historyId);
    transaction.commit();
    return favorite;
}

bool HistoryStore::removeFavorite(const std::string &userId, const std::string &id)
{
    auto lock = m_context.db.lock();
    return m_context.db.prepare("DELETE FROM favorites WHERE user_id = ?1 AND (id = ?2 OR history_id = ?2)")
               .bind(userId, id)
               .run() > 0;
}

} // namespace wordloom
