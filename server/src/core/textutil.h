#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Text helpers shared by validation, search and the prompt engine. Strings are UTF-8.
namespace wordloom::text {

bool isValidUtf8(std::string_view text);
// Number of Unicode code points; invalid UTF-8 counts its bytes.
std::size_t codePointCount(std::string_view text);
std::string trim(std::string_view text);
std::string toLowerAscii(std::string_view text);
// Lower-cases ASCII, Latin-1 letters and the basic Cyrillic alphabet; other characters pass unchanged.
std::string toLower(std::string_view text);
// Collapses runs of spaces and tabs within each line and trims the whole text.
std::string normaliseSpaces(std::string_view text);
std::vector<std::string> splitLines(std::string_view text);
bool isValidEmail(std::string_view email);
bool isLoopbackAddress(std::string_view address);
std::string urlEncode(std::string_view value);
// Escapes text for an HTML document.
std::string htmlEscape(std::string_view value);

} // namespace wordloom::text
