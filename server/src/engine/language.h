#pragma once

#include <string>
#include <vector>

namespace wordloom {

// The words the offline engine writes around a draft, in one language.
struct Phrasebook
{
    std::string languageCode; // en, ru, de, fr, es
    std::string task;
    std::string context;
    std::string requirements;
    std::string outputFormat;
    std::string preferences;
    std::string guidance;
    std::string material;        // heading of a text the user wants worked on
    std::string improveMaterial; // task sentence for such a text
    std::string reviewCode;      // task sentence for a draft that is only code
    std::string questionHint;    // requirement added when the draft is a question
    std::string imageStyle;      // descriptors appended to an image subject
    std::string videoCamera, videoLighting, videoStyle, videoDuration;
    std::string videoCameraValue, videoLightingValue, videoStyleValue, videoDurationValue;
    // Role sentence, requirement bullets and output format, per category.
    struct Category
    {
        std::string role;
        std::vector<std::string> bullets;
        std::string format;
    };
    Category text, code, communication, social, image, video;

    const Category &forCategory(const std::string &category) const;
};

// Guesses the draft's language from its script and common words; English when unsure.
const Phrasebook &phrasebookFor(const std::string &draft);

// Words that open a request ("write", "create", ...) or a question, across the supported languages.
bool startsWithInstruction(const std::string &lowerDraft);
bool looksLikeQuestion(const std::string &draft);

} // namespace wordloom
