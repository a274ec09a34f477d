#include "core/textutil.h"

#include <cctype>

namespace wordloom::text {

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        if (c < 0x80) {
            extra = 0;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size() && extra > 0) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::size_t codePointCount(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

std::string trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string toLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string toLower(std::string_view text)
{
    std::string out = toLowerAscii(text);
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        auto lead = static_cast<unsigned char>(out[i]);
        auto next = static_cast<unsigned char>(out[i + 1]);
        if (lead == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
            out[i + 1] = static_cast<char>(next + 0x20); // À..Þ -> à..þ
        } else if (lead == 0xD0 && next >= 0x90 && next <= 0x9F) {
            out[i + 1] = static_cast<char>(next + 0x20); // А..П -> а..п
        } else if (lead == 0xD0 && next >= 0xA0 && next <= 0xAF) {
            out[i] = static_cast<char>(0xD1); // Р..Я -> р..я
            out[i + 1] = static_cast<char>(next - 0x20);
        } else if (lead == 0xD0 && next >= 0x80 && next <= 0x8F) {
            out[i] = static_cast<char>(0xD1); // Ѐ..Џ -> ѐ..џ
            out[i + 1] = static_cast<char>(next + 0x10);
        }
        if (lead >= 0xC0) {
            ++i;
        }
    }
    return out;
}

std::string normaliseSpaces(std::string_view text)
{
    std::string out;
    bool pendingSpace = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r') {
            pendingSpace = !out.empty() && out.back() != '\n';
            continue;
        }
        if (c == '\n') {
            pendingSpace = false;
            out.push_back('\n');
            continue;
        }
        if (pendingSpace) {
            out.push_back(' ');
            pendingSpace = false;
        }
        out.push_back(c);
    }
    return trim(out);
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool isValidEmail(std::string_view email)
{
    const auto at = email.find('@');
    if (at == std::string_view::npos || at == 0 || email.find('@', at + 1) != std::string_view::npos ||
        email.size() > 254) {
        return false;
    }
    const auto domain = email.substr(at + 1);
    const auto dot = domain.find('.');
    if (dot == std::string_view::npos || dot == 0 || domain.back() == '.') {
        return false;
    }
    for (const char c : email) {
        if (std::isspace(static_cast<unsigned char>(c)) || std::iscntrl(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

bool isLoopbackAddress(std::string_view address)
{
    return address == "::1" || address.starts_with("127.") || address == "::ffff:127.0.0.1";
}

std::string urlEncode(std::string_view value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 0x0F]);
        }
    }
    return out;
}

std::string htmlEscape(std::string_view value)
{
    std::string out;
    for (const char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

} // namespace wordloom::text
