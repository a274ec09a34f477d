#include "engine/skilldetector.h"

#include "core/textutil.h"

#include <array>
#include <cctype>
#include <string_view>
#include <vector>

namespace wordloom {

namespace {

struct CategoryWords
{
    const char *category;
    std::vector<std::string_view> words;
};

const std::array<CategoryWords, 5> &keywordTable()
{
    static const std::array<CategoryWords, 5> table = {{
        {"code", {"code",  "function",  "bug",         "compile",   "python",    "javascript", "typescript", "c++",
                  "java",  "rust",      "sql",         "api",       "class",     "regex",      "script",     "refactor",
                  "debug", "debugging", "stack trace", "exception", "unit test", "algorithm",  "css",        "html",
                  "div",   "json",      "docker",      "compiler",  "код",       "функци",     "программ"}},
        {"image", {"image",    "picture",    "photo",  "photograph", "illustration", "drawing",   "draw",
                   "painting", "logo",       "poster", "render",     "portrait",     "wallpaper", "midjourney",
                   "dall-e",   "изображени", "картин", "нарисуй",    "фото",         "bild",      "dessin"}},
        {"video",
         {"video", "clip", "animation", "footage", "scene", "trailer", "camera", "cinematic", "shot", "sora", "runway",
          "видео", "ролик", "animated"}},
        {"communication",
         {"email", "e-mail", "letter", "reply", "dear", "regards", "meeting", "colleague", "manager", "boss", "client",
          "apolog", "invitation", "письмо", "коллег", "brief", "courriel", "correo"}},
        {"social",
         {"tweet", "twitter", "instagram", "linkedin", "facebook", "tiktok", "hashtag", "post", "caption", "thread",
          "followers", "social media", "пост", "соцсет"}},
    }};
    return table;
}

int countOccurrences(const std::string &haystack, std::string_view needle)
{
    int count = 0;
    for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

bool isWordByte(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || (static_cast<unsigned char>(c) & 0x80) || c == '+' ||
           c == '#';
}

// How often a keyword occurs as a word: keywords under six letters ("api", "photo") must be whole words or their
// plain plurals, longer ones may start a word ("apologise" for "apolog"), and keywords with a space are matched as
// phrases.
int keywordHits(const std::string &lowerDraft, std::string_view keyword)
{
    if (keyword.find(' ') != std::string_view::npos) {
        return countOccurrences(lowerDraft, keyword);
    }
    int hits = 0;
    for (auto at = lowerDraft.find(keyword); at != std::string::npos; at = lowerDraft.find(keyword, at + 1)) {
        if (at > 0 && isWordByte(lowerDraft[at - 1])) {
            continue;
        }
        auto end = at + keyword.size();
        if (end < lowerDraft.size() && lowerDraft[end] == 's') {
            ++end; // a plain plural counts as the word
        }
        const bool wholeWord = end >= lowerDraft.size() || !isWordByte(lowerDraft[end]);
        if (wholeWord || keyword.size() >= 6) {
            ++hits;
        }
    }
    return hits;
}

// Characters and shapes that mark source code rather than prose.
int codeShapeScore(const std::string &draft)
{
    int score = 0;
    for (const char *marker : {"{", "}", ";\n", "();", "=>", "->", "==", "#include", "def ", "return ", "const ",
                               "import ", "fn ", "```", "</", "SELECT ", "var ", "let "}) {
        score += countOccurrences(draft, marker);
    }
    return score;
}

} // namespace

std::string detectCategory(const std::string &draft)
{
    const std::string lower = text::toLower(draft);
    std::string best = "text";
    int bestScore = 0;
    for (const auto &entry : keywordTable()) {
        int score = 0;
        for (const auto word : entry.words) {
            score += keywordHits(lower, word) * 2;
        }
        if (std::string_view(entry.category) == "code") {
            score += codeShapeScore(draft);
        }
        if (score > bestScore) {
            bestScore = score;
            best = entry.category;
        }
    }
    return best;
}

} // namespace wordloom
