#include "backend/wire/skillrecords.h"

#include "backend/wire/jsonwriter.h"

SkillSummary SkillSummary::decode(const JsonReader &json)
{
    return {
        .id = json.string(QStringLiteral("id")),
        .name = json.string(QStringLiteral("name")),
        .slug = json.string(QStringLiteral("slug")),
        .description = json.string(QStringLiteral("description")),
        .category = json.string(QStringLiteral("category")),
        .isActive = json.boolean(QStringLiteral("isActive")),
        .isSystem = json.boolean(QStringLiteral("isSystem")),
    };
}

SkillsListResponse SkillsListResponse::decode(const JsonReader &json)
{
    return {
        .skills = json.array<SkillSummary>(QStringLiteral("skills")),
        .total = json.integer(QStringLiteral("total")),
        .systemCount = json.integer(QStringLiteral("systemCount")),
        .userCount = json.integer(QStringLiteral("userCount")),
    };
}

Skill Skill::decode(const JsonReader &json)
{
    return {
        .id = json.string(QStringLiteral("id")),
        .name = json.string(QStringLiteral("name")),
        .slug = json.string(QStringLiteral("slug")),
        .description = json.string(QStringLiteral("description")),
        .category = json.string(QStringLiteral("category")),
        .isActive = json.boolean(QStringLiteral("isActive")),
        .content = json.string(QStringLiteral("content")),
        .author = json.string(QStringLiteral("author")),
        .version = json.string(QStringLiteral("version")),
        .createdAt = json.string(QStringLiteral("createdAt")),
        .updatedAt = json.string(QStringLiteral("updatedAt")),
    };
}

QJsonObject SkillCreateRequest::toJson() const
{
    return {
        {QStringLiteral("name"), name},
        {QStringLiteral("slug"), slug},
        {QStringLiteral("description"), description},
        {QStringLiteral("category"), category},
        {QStringLiteral("content"), content},
        {QStringLiteral("is_active"), isActive},
    };
}

QJsonObject SkillUpdateRequest::toJson() const
{
    QJsonObject json;
    insertIfPresent(json, QStringLiteral("name"), name);
    insertIfPresent(json, QStringLiteral("description"), description);
    insertIfPresent(json, QStringLiteral("content"), content);
    insertIfPresent(json, QStringLiteral("category"), category);
    insertIfPresent(json, QStringLiteral("is_active"), isActive);
    return json;
}
