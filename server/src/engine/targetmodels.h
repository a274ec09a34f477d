#pragma once

#include "engine/promptengine.h"

#include <optional>
#include <string>
#include <vector>

namespace wordloom {

// The target models a prompt can be shaped for. "general" is the default when the client names none.
const std::vector<TargetModelSpec> &targetModels();
std::optional<TargetModelSpec> findTargetModel(const std::string &id);

} // namespace wordloom
