#include "engine/skilldetector.h"

#include "core/textutil.h"

#include <array>
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
        {"code", {"code",   "function", "bug",      "compile",     "python",    "javascript", "typescript",
                  "c++",    "java",     "rust",     "sql",         "api",       "class",      "regex",
                  "script", "refactor", "debug",    "stack trace", "exception", "unit test",  "algorithm",
                  "код",    "функци",   "программ", "funktion",    "fonction"}},
        {"image", {"image",      "picture", "photo",   "illustration", "drawing",   "draw",       "painting",
                   "logo",       "poster",  "render",  "portrait",     "wallpaper", "midjourney", "dall-e",
                   "изображени", "картин",  "нарисуй", "фото",         "bild",      "dessin"}},
        {"video",
         {"video", "clip", "animation", "footage", "scene", "trailer", "camera", "cinematic", "shot", "sora", "runway",
          "видео", "ролик", "anim"}},
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
            score += countOccurrences(lower, word) * 2;
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
