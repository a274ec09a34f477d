#include "backend/wire/profilerecords.h"

#include "backend/wire/jsonwriter.h"

User User::decode(const JsonReader &json)
{
    return {
        .id = json.string(QStringLiteral("id")),
        .email = json.string(QStringLiteral("email")),
        .fullName = json.optionalString(QStringLiteral("fullName")),
        .avatarUrl = json.optionalString(QStringLiteral("avatarUrl")),
        .locale = json.optionalString(QStringLiteral("locale")),
        .userInstructions = json.optionalString(QStringLiteral("userInstructions")),
    };
}

ProfileResponse ProfileResponse::decode(const JsonReader &json)
{
    return {.user = User::decode(json), .createdAt = json.optionalString(QStringLiteral("createdAt"))};
}

QJsonObject ProfileUpdateRequest::toJson() const
{
    QJsonObject json;
    insertIfPresent(json, QStringLiteral("full_name"), fullName);
    insertIfPresent(json, QStringLiteral("user_instructions"), userInstructions);
    return json;
}
