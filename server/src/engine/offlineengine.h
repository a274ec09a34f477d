#pragma once

#include "engine/promptengine.h"

namespace wordloom {

// The default engine: restructures the draft into a prompt for the skill's category and the target model, in the
// draft's language, with the user's personal instructions folded in. It keeps the draft's content, treats the draft
// strictly as material (a question stays a question to be answered by the target model), and is deterministic.
class OfflineEngine : public PromptEngine
{
public:
    std::string improve(const GenerationRequest &request) override;
};

} // namespace wordloom
