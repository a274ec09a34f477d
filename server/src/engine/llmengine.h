#pragma once

#include "engine/promptengine.h"

#include <string>

namespace wordloom {

// Improves prompts through an OpenAI-compatible chat-completions endpoint. The skill template, the target model and
// the personal instructions go in the system message; the draft goes in the user message between markers, as data.
class LlmEngine : public PromptEngine
{
public:
    LlmEngine(std::string url, std::string model, std::string apiKey, int timeoutSeconds);

    std::string improve(const GenerationRequest &request) override;

    static std::string systemText(const GenerationRequest &request);
    static std::string userText(const GenerationRequest &request);

private:
    std::string m_origin;
    std::string m_path;
    std::string m_model;
    std::string m_apiKey;
    int m_timeoutSeconds;
};

// Splits "http://host:port/path" into origin and path; throws std::invalid_argument for anything else.
std::pair<std::string, std::string> splitHttpUrl(const std::string &url, const std::string &defaultPath);

} // namespace wordloom
