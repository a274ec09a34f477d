#include "app/systemskills.h"

#include "api/skillstore.h"
#include "app/servercontext.h"

namespace wordloom {

namespace {

struct BuiltInSkill
{
    const char *slug;
    const char *name;
    const char *category;
    const char *description;
    const char *content;
};

// One system skill per category the automatic detection can choose.
constexpr BuiltInSkill kBuiltInSkills[] = {
    {"text-enhancer", "Text Enhancer", "text",
     "Turns a rough request into a clear, structured prompt for any chat model.",
     "Rewrite the user's draft as a precise prompt. Give the model a role, state the task, list the requirements "
     "and describe the expected output format. Keep every fact and the language of the draft."},
    {"code-assistant", "Code Assistant", "code",
     "Shapes programming requests: language, constraints, edge cases, tests.",
     "Rewrite the user's draft as a prompt for a coding assistant. Name the language and environment, the inputs and "
     "outputs, constraints, edge cases and how the result should be verified. Keep any code exactly as given."},
    {"image-prompt", "Image Prompt", "image",
     "Describes a picture for image generators: subject, style, light, framing.",
     "Rewrite the user's draft as one descriptive line for an image generator: subject first, then setting, style, "
     "lighting, composition and quality keywords, followed by generator parameters."},
    {"video-prompt", "Video Prompt", "video", "Describes a shot for video generators: scene, camera, light, duration.",
     "Rewrite the user's draft as a description of a video shot: the scene and action, camera movement, lighting, "
     "visual style and duration."},
    {"communication", "Communication", "communication", "Improves e-mails and messages: tone, clarity, next steps.",
     "Rewrite the user's draft as a prompt that produces a clear, polite message for its recipient, keeping every "
     "fact, name and date and making the request or next step explicit."},
    {"social-media", "Social Media", "social", "Turns an idea into a prompt for an engaging social post.",
     "Rewrite the user's draft as a prompt for a social media post with a strong hook, concise body, a call to "
     "action and fitting hashtags."},
};

} // namespace

void seedSystemSkills(ServerContext &context)
{
    SkillStore skills(context);
    Transaction transaction(context.db);
    for (const auto &builtIn : kBuiltInSkills) {
        const std::string id = std::string("system-") + builtIn.slug;
        if (skills.findVisible("", id)) {
            continue;
        }
        SkillRecord skill;
        skill.id = id;
        skill.name = builtIn.name;
        skill.slug = builtIn.slug;
        skill.description = builtIn.description;
        skill.category = builtIn.category;
        skill.content = builtIn.content;
        skill.isActive = true;
        skill.author = "Wordloom";
        skill.version = "1.0";
        skill.createdAt = skill.updatedAt = context.clock.nowIso();
        skills.insert(skill);
    }
    transaction.commit();
}

} // namespace wordloom
