#pragma once

#include "backend/wire/jsonreader.h"

// The signed-in user's profile: the answer of GET /api/v1/profile.
struct User
{
    QString id;
    QString email;
    std::optional<QString> fullName;
    std::optional<QString> avatarUrl;
    std::optional<QString> locale;
    std::optional<QString> userInstructions; // personal instructions applied to every generation

    static User decode(const JsonReader &json);
    bool operator==(const User &) const = default;
};

// Answer of PATCH /api/v1/profile.
struct ProfileResponse
{
    User user;
    std::optional<QString> createdAt;

    static ProfileResponse decode(const JsonReader &json);
};

// Body of PATCH /api/v1/profile. An absent field is left out; an empty string is sent as it is.
struct ProfileUpdateRequest
{
    std::optional<QString> fullName;
    std::optional<QString> userInstructions;

    QJsonObject toJson() const;
};
