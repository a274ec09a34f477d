#include "api/apihttp.h"
#include "api/apiroutes.h"
#include "api/skillstore.h"
#include "app/servercontext.h"
#include "core/crypto.h"
#include "core/textutil.h"

#include <regex>

namespace wordloom {

namespace {

constexpr std::size_t kMaxNameLength = 100;
constexpr std::size_t kMaxSlugLength = 64;
constexpr std::size_t kMaxDescriptionLength = 500;
constexpr std::size_t kMinContentLength = 10;
constexpr std::size_t kMaxContentLength = 50000;
constexpr const char *kCategories[] = {"video", "image", "text", "communication", "social", "code", "custom"};

void checkLength(const std::string &value, const char *field, std::size_t min, std::size_t max)
{
    if (!text::isValidUtf8(value)) {
        throw ApiError(400, std::string("Field '") + field + "' is not valid UTF-8");
    }
    const std::size_t length = text::codePointCount(value);
    if (length < min || length > max) {
        throw ApiError(400, std::string("Field '") + field + "' must be " + std::to_string(min) + " to " +
                                std::to_string(max) + " characters long");
    }
}

void checkCategory(const std::string &category)
{
    for (const char *known : kCategories) {
        if (category == known) {
            return;
        }
    }
    throw ApiError(400, "Unknown category '" + category +
                            "'; use one of video, image, text, communication, social, code, custom");
}

void checkSlug(const std::string &slug)
{
    static const std::regex pattern("^[a-z0-9-]+$");
    if (slug.empty() || slug.size() > kMaxSlugLength || !std::regex_match(slug, pattern)) {
        throw ApiError(400, "Slug must be 1 to 64 characters of lowercase letters, numbers and hyphens");
    }
    if (slug == "auto") {
        throw ApiError(400, "The slug 'auto' is reserved");
    }
}

SkillRecord ownSkill(ServerContext &context, const std::string &userId, const std::string &id)
{
    auto skill = SkillStore(context).findVisible(userId, id);
    if (!skill) {
        throw ApiError(404, "Skill not found");
    }
    if (skill->isSystem()) {
        throw ApiError(403, "System skills are read-only");
    }
    return *skill;
}

void listSkills(ServerContext &context, httplib::Response &response, const std::string &userId)
{
    const auto skills = SkillStore(context).listFor(userId);
    nlohmann::json rows = nlohmann::json::array();
    std::int64_t systemCount = 0;
    for (const auto &skill : skills) {
        rows.push_back(skill.toSummaryJson());
        systemCount += skill.isSystem() ? 1 : 0;
    }
    const auto total = static_cast<std::int64_t>(skills.size());
    apihttp::sendJson(
        response, 200,
        {{"skills", rows}, {"total", total}, {"system_count", systemCount}, {"user_count", total - systemCount}});
}

void createSkill(ServerContext &context, const httplib::Request &request, httplib::Response &response,
                 const std::string &userId)
{
    const auto body = apihttp::parseBody(request);
    SkillRecord skill;
    skill.name = apihttp::requiredString(body, "name");
    skill.slug = apihttp::requiredString(body, "slug");
    skill.description = apihttp::requiredString(body, "description");
    skill.category = apihttp::requiredString(body, "category");
    skill.content = apihttp::requiredString(body, "content");
    skill.isActive = apihttp::requiredBool(body, "is_active");
    checkLength(skill.name, "name", 1, kMaxNameLength);
    checkSlug(skill.slug);
    checkLength(skill.description, "description", 1, kMaxDescriptionLength);
    checkCategory(skill.category);
    checkLength(skill.content, "content", kMinContentLength, kMaxContentLength);
    SkillStore skills(context);
    Transaction transaction(context.db);
    if (skills.slugTaken(userId, skill.slug)) {
        throw ApiError(409, "A skill with the slug '" + skill.slug + "' already exists");
    }
    skill.id = crypto::uuid();
    skill.userId = userId;
    skill.author = "user";
    skill.version = "1.0";
    skill.createdAt = skill.updatedAt = context.clock.nowIso();
    skills.insert(skill);
    transaction.commit();
    apihttp::sendJson(response, 201, skill.toJson());
}

void updateSkill(ServerContext &context, const httplib::Request &request, httplib::Response &response,
                 const std::string &userId)
{
    const auto body = apihttp::parseBody(request);
    SkillRecord skill = ownSkill(context, userId, request.matches[1]);
    if (auto name = apihttp::optionalString(body, "name")) {
        checkLength(*name, "name", 1, kMaxNameLength);
        skill.name = *name;
    }
    if (auto description = apihttp::optionalString(body, "description")) {
        checkLength(*description, "description", 1, kMaxDescriptionLength);
        skill.description = *description;
    }
    if (auto category = apihttp::optionalString(body, "category")) {
        checkCategory(*category);
        skill.category = *category;
    }
    if (auto content = apihttp::optionalString(body, "content")) {
        checkLength(*content, "content", kMinContentLength, kMaxContentLength);
        skill.content = *content;
    }
    if (auto active = apihttp::optionalBool(body, "is_active")) {
        skill.isActive = *active;
    }
    // The slug is the skill's stable handle: an update never changes it, whatever the body says.
    skill.updatedAt = context.clock.nowIso();
    SkillStore(context).update(skill);
    apihttp::sendJson(response, 200, skill.toJson());
}

} // namespace

void registerSkillRoutes(httplib::Server &server, ServerContext &context)
{
    const std::string one = R"(/api/v1/skills/([^/]+))";
    server.Get("/api/v1/skills",
               apihttp::authenticated(context, [&context](const auto &, auto &response, const std::string &userId) {
                   listSkills(context, response, userId);
               }));
    server.Post("/api/v1/skills", apihttp::authenticated(context, [&context](const auto &request, auto &response,
                                                                             const std::string &userId) {
                    createSkill(context, request, response, userId);
                }));
    server.Get(one, apihttp::authenticated(
                        context, [&context](const auto &request, auto &response, const std::string &userId) {
                            const auto skill = SkillStore(context).findVisible(userId, request.matches[1]);
                            if (!skill) {
                                throw ApiError(404, "Skill not found");
                            }
                            apihttp::sendJson(response, 200, skill->toJson());
                        }));
    server.Put(one, apihttp::authenticated(context,
                                           [&context](const auto &request, auto &response, const std::string &userId) {
                                               updateSkill(context, request, response, userId);
                                           }));
    server.Delete(one, apihttp::authenticated(
                           context, [&context](const auto &request, auto &response, const std::string &userId) {
                               const auto skill = ownSkill(context, userId, request.matches[1]);
                               SkillStore(context).remove(skill.id);
                               response.status = 204;
                           }));
}

} // namespace wordloom
