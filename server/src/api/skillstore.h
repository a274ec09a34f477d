#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace wordloom {

struct ServerContext;

struct SkillRecord
{
    std::string id;
    std::optional<std::string> userId; // absent for the built-in system skills
    std::string name;
    std::string slug;
    std::string description;
    std::string category;
    std::string content;
    bool isActive = true;
    std::string author;
    std::string version;
    std::string createdAt;
    std::string updatedAt;

    bool isSystem() const { return !userId.has_value(); }
    nlohmann::json toJson() const;
    nlohmann::json toSummaryJson() const;
};

// System skills (shared, read-only) and each user's own skills.
class SkillStore
{
public:
    explicit SkillStore(ServerContext &context)
        : m_context(context)
    {}

    // System skills first, then the user's, each group by name.
    std::vector<SkillRecord> listFor(const std::string &userId);
    // A system skill or one of the user's own; other users' skills are not visible.
    std::optional<SkillRecord> findVisible(const std::string &userId, const std::string &id);
    // Resolves a slug for generation: the user's own skill wins over a system skill of the same slug.
    std::optional<SkillRecord> findBySlug(const std::string &userId, const std::string &slug);
    std::optional<SkillRecord> systemSkillForCategory(const std::string &category);
    bool slugTaken(const std::string &userId, const std::string &slug);
    void insert(const SkillRecord &skill);
    void update(const SkillRecord &skill);
    void remove(const std::string &id);

private:
    std::vector<SkillRecord> select(const std::string &whereClause, const std::vector<std::string> &values);

    ServerContext &m_context;
};

} // namespace wordloom
