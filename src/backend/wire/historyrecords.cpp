#include "backend/wire/historyrecords.h"

#include "backend/wire/timestampformat.h"

HistoryItem HistoryItem::decode(const JsonReader &json)
{
    return {
        .id = json.string(QStringLiteral("id")),
        .userId = json.string(QStringLiteral("userId")),
        .inputText = json.string(QStringLiteral("inputText")),
        .outputText = json.string(QStringLiteral("outputText")),
        .tokensUsed = json.integer(QStringLiteral("tokensUsed")),
        .createdAt = json.string(QStringLiteral("createdAt")),
        .skillName = json.optionalString(QStringLiteral("skillName")),
        .skillSlug = json.optionalString(QStringLiteral("skillSlug")),
        .isFavorited = json.optionalBoolean(QStringLiteral("isFavorited")),
    };
}

QString HistoryItem::formattedDate(const QLocale &locale, const QTimeZone &zone) const
{
    return formatTimestamp(createdAt, locale, zone);
}

HistoryResponse HistoryResponse::decode(const JsonReader &json)
{
    return {
        .history = json.array<HistoryItem>(QStringLiteral("history")),
        .limit = json.integer(QStringLiteral("limit")),
        .offset = json.integer(QStringLiteral("offset")),
    };
}

FavoriteItem FavoriteItem::decode(const JsonReader &json)
{
    return {
        .id = json.string(QStringLiteral("id")),
        .userId = json.string(QStringLiteral("userId")),
        .historyId = json.string(QStringLiteral("historyId")),
        .createdAt = json.string(QStringLiteral("createdAt")),
        .inputText = json.string(QStringLiteral("inputText")),
        .outputText = json.string(QStringLiteral("outputText")),
        .tokensUsed = json.integer(QStringLiteral("tokensUsed")),
        .historyCreatedAt = json.optionalString(QStringLiteral("historyCreatedAt")),
        .skillName = json.optionalString(QStringLiteral("skillName")),
        .skillSlug = json.optionalString(QStringLiteral("skillSlug")),
    };
}

QString FavoriteItem::formattedDate(const QLocale &locale, const QTimeZone &zone) const
{
    return formatTimestamp(createdAt, locale, zone);
}

FavoritesResponse FavoritesResponse::decode(const JsonReader &json)
{
    return {
        .favorites = json.array<FavoriteItem>(QStringLiteral("favorites")),
        .total = json.integer(QStringLiteral("total")),
        .limit = json.integer(QStringLiteral("limit")),
        .offset = json.integer(QStringLiteral("offset")),
    };
}

QJsonObject FavoriteCreateRequest::toJson() const
{
    return {{QStringLiteral("history_id"), historyId}};
}

QJsonObject BulkDeleteRequest::toJson() const
{
    return {{QStringLiteral("ids"), QJsonArray::fromStringList(ids)}};
}

DeleteResponse DeleteResponse::decode(const JsonReader &json)
{
    return {
        .deletedCount = json.integer(QStringLiteral("deletedCount")),
        .message = json.string(QStringLiteral("message")),
    };
}
