#include "api/skillstore.h"

#include "app/servercontext.h"

namespace wordloom {

nlohmann::json SkillRecord::toJson() const
{
    return {{"id", id},
            {"name", name},
            {"slug", slug},
            {"description", description},
            {"category", category},
            {"is_active", isActive},
            {"is_system", isSystem()},
            {"content", content},
            {"author", author},
            {"version", version},
            {"created_at", createdAt},
            {"updated_at", updatedAt}};
}

nlohmann::json SkillRecord::toSummaryJson() const
{
    return {{"id", id},
            {"name", name},
            {"slug", slug},
            {"description", description},
            {"category", category},
            {"is_active", isActive},
            {"is_system", isSystem()}};
}

std::vector<SkillRecord> SkillStore::select(const std::string &whereClause, const std::vector<std::string> &values)
{
    auto lock = m_context.db.lock();
    auto statement = m_context.db.prepare("SELECT id, user_id, name, slug, description, category, content, is_active, "
                                          "author, version, created_at, updated_at FROM skills WHERE " +
                                          whereClause);
    for (std::size_t i = 0; i < values.size(); ++i) {
        statement.bindText(static_cast<int>(i + 1), values[i]);
    }
    std::vector<SkillRecord> skills;
    while (statement.step()) {
        SkillRecord skill;
        skill.id = statement.text(0);
        skill.userId = statement.optionalText(1);
        skill.name = statement.text(2);
        skill.slug = statement.text(3);
        skill.description = statement.text(4);
        skill.category = statement.text(5);
        skill.content = statement.text(6);
        skill.isActive = statement.integer(7) != 0;
        skill.author = statement.text(8);
        skill.version = statement.text(9);
        skill.createdAt = statement.text(10);
        skill.updatedAt = statement.text(11);
        skills.push_back(std::move(skill));
    }
    return skills;
}

std::vector<SkillRecord> SkillStore::listFor(const std::string &userId)
{
    return select("user_id IS NULL OR user_id = ?1 ORDER BY user_id IS NOT NULL, name COLLATE NOCASE, id", {userId});
}

std::optional<SkillRecord> SkillStore::findVisible(const std::string &userId, const std::string &id)
{
    auto rows = select("id = ?1 AND (user_id IS NULL OR user_id = ?2)", {id, userId});
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}

std::optional<SkillRecord> SkillStore::findBySlug(const std::string &userId, const std::string &slug)
{
    auto rows = select("slug = ?1 AND (user_id IS NULL OR user_id = ?2) ORDER BY user_id IS NULL", {slug, userId});
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}

std::optional<SkillRecord> SkillStore::systemSkillForCategory(const std::string &category)
{
    auto rows = select("user_id IS NULL AND category = ?1 ORDER BY slug", {category});
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}

bool SkillStore::slugTaken(const std::string &userId, const std::string &slug)
{
    return findBySlug(userId, slug).has_value();
}

void SkillStore::insert(const SkillRecord &skill)
{
    auto lock = m_context.db.lock();
    m_context.db
        .prepare("INSERT INTO skills (id, user_id, name, slug, description, category, content, is_active, author, "
                 "version, created_at, updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
        .bind(skill.id, skill.userId, skill.name, skill.slug, skill.description, skill.category, skill.content,
              skill.isActive, skill.author, skill.version, skill.createdAt, skill.updatedAt)
        .run();
}

void SkillStore::update(const SkillRecord &skill)
{
    auto lock = m_context.db.lock();
    m_context.db
        .prepare("UPDATE skills SET name = ?, description = ?, category = ?, content = ?, is_active = ?, version = ?, "
                 "updated_at = ? WHERE id = ?")
        .bind(skill.name, skill.description, skill.category, skill.content, skill.isActive, skill.version,
              skill.updatedAt, skill.id)
        .run();
}

void SkillStore::remove(const std::string &id)
{
    auto lock = m_context.db.lock();
    m_context.db.prepare("DELETE FROM skills WHERE id = ?").bind(id).run();
}

} // namespace wordloom
