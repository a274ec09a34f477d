#pragma once

#include "backend/wire/jsonreader.h"

// One row of the skills list.
struct SkillSummary
{
    QString id;
    QString name;
    QString slug;
    QString description;
    QString category;
    bool isActive = false;
    bool isSystem = false; // a built-in skill of the backend, not one of the user's own

    static SkillSummary decode(const JsonReader &json);
    bool operator==(const SkillSummary &) const = default;
};

// Answer of GET /api/v1/skills.
struct SkillsListResponse
{
    QList<SkillSummary> skills;
    qint64 total = 0;
    qint64 systemCount = 0;
    qint64 userCount = 0;

    static SkillsListResponse decode(const JsonReader &json);
};

// One skill in full: the answer of reading, creating and updating a skill.
struct Skill
{
    QString id;
    QString name;
    QString slug;
    QString description;
    QString category;
    bool isActive = false;
    QString content; // the prompt template
    QString author;
    QString version;
    QString createdAt;
    QString updatedAt;

    static Skill decode(const JsonReader &json);
    bool operator==(const Skill &) const = default;
};

// Body of POST /api/v1/skills.
struct SkillCreateRequest
{
    QString name;
    QString slug;
    QString description;
    QString category;
    QString content;
    bool isActive = true;

    QJsonObject toJson() const;
};

// Body of PUT /api/v1/skills/<id>. Absent fields stay as they are; a skill's slug never changes.
struct SkillUpdateRequest
{
    std::optional<QString> name;
    std::optional<QString> description;
    std::optional<QString> content;
    std::optional<QString> category;
    std::optional<bool> isActive;

    QJsonObject toJson() const;
};
