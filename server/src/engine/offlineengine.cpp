#include "engine/offlineengine.h"

#include "core/textutil.h"
#include "engine/language.h"
#include "engine/skilldetector.h"

#include <sstream>

namespace wordloom {

namespace {

constexpr std::size_t kMaxGuidanceLines = 8;
constexpr std::size_t kMaxGuidanceLineLength = 200;
constexpr std::size_t kMaterialWordThreshold = 40;

bool isCodeLine(const std::string &line)
{
    const std::string t = text::trim(line);
    if (t.empty()) {
        return false;
    }
    for (const char *marker : {"{", "}", ";", "=>", "->", "#include", "def ", "return", "import ", "()", "</", "//"}) {
        if (t.find(marker) != std::string::npos) {
            return true;
        }
    }
    return line.starts_with("    ") || line.starts_with("\t");
}

// Trailing spaces removed from every line, indentation kept, blank lines at both ends dropped.
std::string tidyKeepingLayout(const std::string &draft)
{
    std::string out;
    for (auto line : text::splitLines(draft)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
            line.pop_back();
        }
        out += line + "\n";
    }
    while (!out.empty() && out.front() == '\n') {
        out.erase(out.begin());
    }
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

std::size_t wordCount(const std::string &value)
{
    std::istringstream stream(value);
    std::string word;
    std::size_t count = 0;
    while (stream >> word) {
        ++count;
    }
    return count;
}

std::vector<std::string> bulletLines(const std::string &block)
{
    std::vector<std::string> bullets;
    for (const auto &line : text::splitLines(block)) {
        std::string t = text::trim(line);
        while (!t.empty() && (t.front() == '-' || t.front() == '*' || t.front() == ' ')) {
            t.erase(t.begin());
        }
        if (!t.empty()) {
            bullets.push_back(t);
        }
    }
    return bullets;
}

// Lines of a custom skill's template worth passing on, with placeholders removed.
std::vector<std::string> guidanceFrom(const SkillSpec &skill)
{
    std::vector<std::string> lines;
    if (skill.isSystem) {
        return lines;
    }
    for (auto line : bulletLines(skill.content)) {
        for (auto open = line.find("{{"); open != std::string::npos; open = line.find("{{")) {
            const auto close = line.find("}}", open);
            line.erase(open, close == std::string::npos ? std::string::npos : close + 2 - open);
        }
        line = text::trim(line);
        if (line.empty()) {
            continue;
        }
        if (line.size() > kMaxGuidanceLineLength) {
            line = line.substr(0, kMaxGuidanceLineLength);
        }
        lines.push_back(line);
        if (lines.size() == kMaxGuidanceLines) {
            break;
        }
    }
    return lines;
}

std::string capitalisedSentence(std::string sentence, bool question = false)
{
    if (!sentence.empty() && sentence.front() >= 'a' && sentence.front() <= 'z') {
        sentence.front() = static_cast<char>(sentence.front() - 'a' + 'A');
    }
    if (sentence.find('\n') == std::string::npos && !sentence.empty() &&
        std::string(".!?:;…)\"'").find(sentence.back()) == std::string::npos && !sentence.ends_with("…")) {
        sentence.push_back(question ? '?' : '.');
    }
    return sentence;
}

struct Section
{
    std::string title;
    std::string tag;
    std::string body;
};

std::string renderSections(const std::string &role, const std::vector<Section> &sections, bool xmlStyle)
{
    std::string out;
    if (xmlStyle) {
        out += "<role>\n" + role + "\n</role>\n";
        for (const auto &section : sections) {
            out += "\n<" + section.tag + ">\n" + section.body + "\n</" + section.tag + ">\n";
        }
    } else {
        out += role + "\n";
        for (const auto &section : sections) {
            out += "\n## " + section.title + "\n" + section.body + "\n";
        }
    }
    out.pop_back();
    return out;
}

std::string bulletBlock(const std::vector<std::string> &items)
{
    std::string block;
    for (const auto &item : items) {
        block += (block.empty() ? "- " : "\n- ") + item;
    }
    return block;
}

std::string structuredPrompt(const GenerationRequest &request, const std::string &category, const Phrasebook &words)
{
    const auto &shape = words.forCategory(category);
    const std::string layoutKept = tidyKeepingLayout(request.draft);
    const auto lines = text::splitLines(layoutKept);
    std::size_t codeLines = 0;
    for (const auto &line : lines) {
        codeLines += isCodeLine(line) ? 1 : 0;
    }
    const bool mostlyCode = codeLines * 2 > lines.size() && lines.size() > 1;
    const std::string lower = text::toLower(text::trim(request.draft));
    const bool question = looksLikeQuestion(request.draft);
    const bool instruction = startsWithInstruction(lower);
    const bool material = !question && !instruction &&
                          (mostlyCode || wordCount(request.draft) > kMaterialWordThreshold || lines.size() > 3);

    std::vector<Section> sections;
    if (material) {
        const bool code = mostlyCode || category == "code";
        sections.push_back({words.task, "task", code ? words.reviewCode : words.improveMaterial});
        const std::string fence = code ? "```" : "\"\"\"";
        sections.push_back({words.material, "material", fence + "\n" + layoutKept + "\n" + fence});
    } else {
        const std::string statement =
            mostlyCode ? layoutKept : capitalisedSentence(text::normaliseSpaces(request.draft), question);
        sections.push_back({words.task, "task", statement});
    }
    std::vector<std::string> requirements = shape.bullets;
    if (question) {
        requirements.insert(requirements.begin(), words.questionHint);
    }
    sections.push_back({words.requirements, "requirements", bulletBlock(requirements)});
    if (const auto guidance = guidanceFrom(request.skill); !guidance.empty()) {
        sections.push_back({words.guidance, "skill_guidance", bulletBlock(guidance)});
    }
    if (const auto preferences = bulletLines(request.instructions); !preferences.empty()) {
        sections.push_back({words.preferences, "personal_preferences", bulletBlock(preferences)});
    }
    sections.push_back({words.outputFormat, "output_format", shape.format});
    return renderSections(shape.role, sections, request.target.id == "claude");
}

// Strips a leading "draw ..." / "create an image of ..." so the subject can lead a generator prompt.
std::string visualSubject(const std::string &draft)
{
    std::string subject = text::normaliseSpaces(draft);
    for (auto &c : subject) {
        c = c == '\n' ? ' ' : c;
    }
    for (const char *prefix : {"please ",
                               "create an image of ",
                               "generate an image of ",
                               "make an image of ",
                               "create a picture of ",
                               "generate a picture of ",
                               "draw me ",
                               "draw ",
                               "create a video of ",
                               "generate a video of ",
                               "make a video of ",
                               "create a video about ",
                               "an image of ",
                               "a picture of ",
                               "image of ",
                               "picture of ",
                               "video of ",
                               "нарисуй ",
                               "создай изображение ",
                               "создай видео "}) {
        const std::string p = prefix;
        if (text::toLower(subject).starts_with(p)) {
            subject = subject.substr(p.size());
        }
    }
    while (!subject.empty() && std::string(".!?;,").find(subject.back()) != std::string::npos) {
        subject.pop_back();
    }
    return subject.empty() ? text::normaliseSpaces(draft) : subject;
}

std::string joinedPreferences(const std::string &instructions)
{
    std::string joined;
    for (const auto &line : bulletLines(instructions)) {
        std::string item = line;
        while (!item.empty() && std::string(".!;").find(item.back()) != std::string::npos) {
            item.pop_back();
        }
        joined += ", " + item;
    }
    return joined;
}

std::string imagePrompt(const GenerationRequest &request, const Phrasebook &words)
{
    std::string line = visualSubject(request.draft) + ", " + words.imageStyle + joinedPreferences(request.instructions);
    if (request.target.id == "midjourney") {
        line += " --ar 16:9 --style raw --v 6";
    } else if (request.target.id == "stable-diffusion") {
        line += ", masterpiece, 8k --negative blurry, low quality, distorted anatomy, watermark, text";
    } else {
        line = capitalisedSentence(line);
    }
    return line;
}

std::string videoPrompt(const GenerationRequest &request, const Phrasebook &words)
{
    std::string line = capitalisedSentence(visualSubject(request.draft));
    line += " " + words.videoCamera + ": " + words.videoCameraValue + ". " + words.videoLighting + ": " +
            words.videoLightingValue + ". " + words.videoStyle + ": " + words.videoStyleValue +
            joinedPreferences(request.instructions) + ". " + words.videoDuration + ": " + words.videoDurationValue +
            ".";
    if (request.target.id == "runway" || request.target.id == "sora") {
        line += " --ar 16:9";
    }
    return line;
}

} // namespace

std::string OfflineEngine::improve(const GenerationRequest &request)
{
    const Phrasebook &words = phrasebookFor(request.draft);
    std::string category = request.skill.category;
    if (category == "custom" || category.empty()) {
        category = detectCategory(request.draft);
    }
    const std::string &targetKind = request.target.category;
    if (targetKind == "image" || (category == "image" && targetKind != "code")) {
        return imagePrompt(request, words);
    }
    if (targetKind == "video" || (category == "video" && targetKind != "code")) {
        return videoPrompt(request, words);
    }
    if (targetKind == "code") {
        category = "code";
    }
    return structuredPrompt(request, category, words);
}

} // namespace wordloom
