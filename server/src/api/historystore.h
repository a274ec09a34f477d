#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace wordloom {

struct ServerContext;

struct HistoryEntry
{
    std::string id;
    std::string userId;
    std::string inputText;
    std::string outputText;
    std::int64_t tokensUsed = 0;
    std::optional<std::string> skillName;
    std::optional<std::string> skillSlug;
    std::optional<std::string> targetModel;
    std::string createdAt;
};

// The record of every generation, and the favourites that point at records.
class HistoryStore
{
public:
    explicit HistoryStore(ServerContext &context)
        : m_context(context)
    {}

    void insert(const HistoryEntry &entry);
    // Newest first; `search` matches the draft, the result and the skill name, ignoring ASCII case.
    nlohmann::json page(const std::string &userId, std::int64_t limit, std::int64_t offset, const std::string &search);
    std::int64_t countFor(const std::string &userId);
    int removeOne(const std::string &userId, const std::string &id);
    int removeMany(const std::string &userId, const std::vector<std::string> &ids);
    int clear(const std::string &userId);

    nlohmann::json favorites(const std::string &userId, std::int64_t limit, std::int64_t offset);
    std::int64_t favoriteCount(const std::string &userId);
    // Marks the history record; the existing favourite when it already is one; nullopt for an unknown record.
    std::optional<nlohmann::json> addFavorite(const std::string &userId, const std::string &historyId);
    // Removes the favourite named by its own id or by its history record's id.
    bool removeFavorite(const std::string &userId, const std::string &id);

private:
    std::optional<nlohmann::json> favoriteByHistoryId(const std::string &userId, const std::string &historyId);

    ServerContext &m_context;
};

} // namespace wordloom
