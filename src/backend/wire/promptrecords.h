#pragma once

#include "backend/wire/jsonreader.h"

// Body of POST /api/v1/prompts/generate.
struct PromptRequest
{
    QString text;
    std::optional<QString> skillSlug;
    bool autoDetect = false;
    bool stream = false;
    std::optional<QString> targetModel;

    QJsonObject toJson() const;
    bool operator==(const PromptRequest &) const = default;
};

// Answer of POST /api/v1/prompts/generate.
struct PromptResponse
{
    QString originalText;
    QString improvedText;
    QString skillUsed;
    QString skillName;
    qint64 tokensUsed = 0;
    qint64 creditsRemaining = 0;
    std::optional<QString> targetModel;

    static PromptResponse decode(const JsonReader &json);
    bool operator==(const PromptResponse &) const = default;
};

struct TargetModel
{
    QString id;
    QString name;
    QString category;

    static TargetModel decode(const JsonReader &json);
    bool operator==(const TargetModel &) const = default;
};

// Answer of GET /api/v1/prompts/target-models.
struct TargetModelsResponse
{
    QList<TargetModel> models;

    static TargetModelsResponse decode(const JsonReader &json);
};
