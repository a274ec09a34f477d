#include "api/apihttp.h"
#include "api/apiroutes.h"
#include "api/historystore.h"
#include "api/profilestore.h"
#include "api/skillstore.h"
#include "app/servercontext.h"
#include "core/crypto.h"
#include "core/textutil.h"
#include "engine/promptengine.h"
#include "engine/skilldetector.h"
#include "engine/targetmodels.h"

namespace wordloom {

namespace {

constexpr std::size_t kMaxDraftLength = 20000;
constexpr std::int64_t kGenerationCost = 1;

SkillRecord resolveSkill(ServerContext &context, const std::string &userId, const std::optional<std::string> &slug,
                         const std::string &draft, const TargetModelSpec &target)
{
    SkillStore skills(context);
    if (slug) {
        auto skill = skills.findBySlug(userId, *slug);
        if (!skill) {
            throw ApiError(404, "Skill '" + *slug + "' not found");
        }
        return *skill;
    }
    // An image or video generator as target decides the kind of prompt; otherwise the draft does.
    const bool visualTarget = target.category == "image" || target.category == "video";
    const std::string category = visualTarget ? target.category : detectCategory(draft);
    if (auto skill = skills.systemSkillForCategory(category)) {
        return *skill;
    }
    if (auto skill = skills.systemSkillForCategory("text")) {
        return *skill;
    }
    throw ApiError(500, "No system skill is available for automatic detection");
}

std::int64_t estimateTokens(const std::string &input, const std::string &output)
{
    return static_cast<std::int64_t>((input.size() + output.size() + 3) / 4);
}

void generate(ServerContext &context, const httplib::Request &request, httplib::Response &response,
              const std::string &userId)
{
    const auto body = apihttp::parseBody(request);
    const std::string draft = apihttp::requiredString(body, "text");
    const auto slug = apihttp::optionalString(body, "skill_slug");
    const auto targetId = apihttp::optionalString(body, "target_model");
    apihttp::optionalBool(body, "auto_detect");
    apihttp::optionalBool(body, "stream");
    if (!text::isValidUtf8(draft)) {
        throw ApiError(400, "Field 'text' is not valid UTF-8");
    }
    if (text::trim(draft).empty()) {
        throw ApiError(400, "Field 'text' must not be empty");
    }
    if (text::codePointCount(draft) > kMaxDraftLength) {
        throw ApiError(400, "Field 'text' is longer than 20000 characters");
    }
    const auto target = findTargetModel(targetId.value_or("general"));
    if (!target) {
        throw ApiError(400, "Unknown target model '" + *targetId + "'");
    }
    const SkillRecord skill = resolveSkill(context, userId, slug, draft, *target);
    ProfileStore profiles(context);
    if (profiles.remainingCredits(userId) < kGenerationCost) {
        throw ApiError(402, "Insufficient credits");
    }

    GenerationRequest generation{draft,
                                 {skill.slug, skill.name, skill.category, skill.content, skill.isSystem()},
                                 *target,
                                 profiles.instructions(userId)};
    std::string improved;
    try {
        improved = context.engine->improve(generation);
    } catch (const EngineError &error) {
        throw ApiError(502, error.what());
    }

    HistoryEntry entry{crypto::uuid(),
                       userId,
                       draft,
                       improved,
                       estimateTokens(draft, improved),
                       skill.name,
                       skill.slug,
                       target->id,
                       context.clock.nowIso()};
    // The charge and the history record land together or not at all.
    Transaction transaction(context.db);
    if (!profiles.charge(userId, kGenerationCost)) {
        throw ApiError(402, "Insufficient credits");
    }
    HistoryStore(context).insert(entry);
    const std::int64_t remaining = profiles.remainingCredits(userId);
    transaction.commit();

    apihttp::sendJson(response, 200,
                      {{"original_text", draft},
                       {"improved_text", improved},
                       {"skill_used", skill.slug},
                       {"skill_name", skill.name},
                       {"tokens_used", entry.tokensUsed},
                       {"credits_remaining", remaining},
                       {"target_model", targetId ? nlohmann::json(target->id) : nlohmann::json(nullptr)}});
}

} // namespace

void registerPromptRoutes(httplib::Server &server, ServerContext &context)
{
    server.Get("/api/v1/prompts/target-models",
               apihttp::authenticated(context, [](const auto &, auto &response, const std::string &) {
                   nlohmann::json models = nlohmann::json::array();
                   for (const auto &model : targetModels()) {
                       models.push_back({{"id", model.id}, {"name", model.name}, {"category", model.category}});
                   }
                   apihttp::sendJson(response, 200, {{"models", models}});
               }));
    server.Post(
        "/api/v1/prompts/generate",
        apihttp::authenticated(context, [&context](const auto &request, auto &response, const std::string &userId) {
            generate(context, request, response, userId);
        }));
}

} // namespace wordloom
