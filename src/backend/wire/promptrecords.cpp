#include "backend/wire/promptrecords.h"

#include "backend/wire/jsonwriter.h"

QJsonObject PromptRequest::toJson() const
{
    QJsonObject json{{QStringLiteral("text"), text},
                     {QStringLiteral("auto_detect"), autoDetect},
                     {QStringLiteral("stream"), stream}};
    insertIfPresent(json, QStringLiteral("skill_slug"), skillSlug);
    insertIfPresent(json, QStringLiteral("target_model"), targetModel);
    return json;
}

PromptResponse PromptResponse::decode(const JsonReader &json)
{
    return {
        .originalText = json.string(QStringLiteral("originalText")),
        .improvedText = json.string(QStringLiteral("improvedText")),
        .skillUsed = json.string(QStringLiteral("skillUsed")),
        .skillName = json.string(QStringLiteral("skillName")),
        .tokensUsed = json.integer(QStringLiteral("tokensUsed")),
        .creditsRemaining = json.integer(QStringLiteral("creditsRemaining")),
        .targetModel = json.optionalString(QStringLiteral("targetModel")),
    };
}

TargetModel TargetModel::decode(const JsonReader &json)
{
    return {
        .id = json.string(QStringLiteral("id")),
        .name = json.string(QStringLiteral("name")),
        .category = json.string(QStringLiteral("category")),
    };
}

TargetModelsResponse TargetModelsResponse::decode(const JsonReader &json)
{
    return {.models = json.array<TargetModel>(QStringLiteral("models"))};
}
