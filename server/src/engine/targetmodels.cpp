#include "engine/targetmodels.h"

namespace wordloom {

const std::vector<TargetModelSpec> &targetModels()
{
    static const std::vector<TargetModelSpec> models = {
        {"general", "General", "general"},
        {"chatgpt", "ChatGPT", "chat"},
        {"claude", "Claude", "chat"},
        {"gemini", "Gemini", "chat"},
        {"github-copilot", "GitHub Copilot", "code"},
        {"midjourney", "Midjourney", "image"},
        {"dall-e", "DALL-E", "image"},
        {"stable-diffusion", "Stable Diffusion", "image"},
        {"sora", "Sora", "video"},
        {"runway", "Runway", "video"},
    };
    return models;
}

std::optional<TargetModelSpec> findTargetModel(const std::string &id)
{
    for (const auto &model : targetModels()) {
        if (model.id == id) {
            return model;
        }
    }
    return std::nullopt;
}

} // namespace wordloom
