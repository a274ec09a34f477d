#pragma once

#include <stdexcept>
#include <string>

namespace wordloom {

struct SkillSpec
{
    std::string slug;
    std::string name;
    std::string category; // text, code, image, video, communication, social, custom
    std::string content;  // the skill's prompt template
    bool isSystem = true;
};

struct TargetModelSpec
{
    std::string id;
    std::string name;
    std::string category; // general, chat, code, image, video
};

struct GenerationRequest
{
    std::string draft;
    SkillSpec skill;
    TargetModelSpec target;
    std::string instructions; // the user's personal instructions, may be empty
};

// The upstream model failed or could not be reached; answered as 502 with the message as detail.
class EngineError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Turns a draft into a better prompt. Implementations rewrite the draft; they never answer it.
class PromptEngine
{
public:
    virtual ~PromptEngine() = default;
    virtual std::string improve(const GenerationRequest &request) = 0;
};

} // namespace wordloom
