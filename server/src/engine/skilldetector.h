#pragma once

#include <string>

namespace wordloom {

// Picks the category a draft most likely belongs to: text, code, image, video, communication or social.
// Keyword and symbol scores, deterministic; text when nothing stands out.
std::string detectCategory(const std::string &draft);

} // namespace wordloom
