#pragma once

#include "backend/wire/jsonreader.h"

#include <QLocale>
#include <QTimeZone>

// One past generation.
struct HistoryItem
{
    QString id;
    QString userId;
    QString inputText;
    QString outputText;
    qint64 tokensUsed = 0;
    QString createdAt;
    std::optional<QString> skillName;
    std::optional<QString> skillSlug;
    std::optional<bool> isFavorited;

    static HistoryItem decode(const JsonReader &json);
    // `createdAt` as a medium date and short time in the given locale and zone; unchanged when it is no timestamp.
    QString formattedDate(const QLocale &locale = QLocale(), const QTimeZone &zone = QTimeZone::systemTimeZone()) const;
    bool operator==(const HistoryItem &) const = default;
};

// Answer of GET /api/v1/usage/history.
struct HistoryResponse
{
    QList<HistoryItem> history;
    qint64 limit = 0;
    qint64 offset = 0;

    static HistoryResponse decode(const JsonReader &json);
};

// One favourite; repeats the texts of its history record.
struct FavoriteItem
{
    QString id; // the favourite's own identifier
    QString userId;
    QString historyId;
    QString createdAt; // when it was marked
    QString inputText;
    QString outputText;
    qint64 tokensUsed = 0;
    std::optional<QString> historyCreatedAt;
    std::optional<QString> skillName;
    std::optional<QString> skillSlug;

    static FavoriteItem decode(const JsonReader &json);
    // When the favourite was marked, formatted like HistoryItem::formattedDate.
    QString formattedDate(const QLocale &locale = QLocale(), const QTimeZone &zone = QTimeZone::systemTimeZone()) const;
    bool operator==(const FavoriteItem &) const = default;
};

// Answer of GET /api/v1/favorites.
struct FavoritesResponse
{
    QList<FavoriteItem> favorites;
    qint64 total = 0;
    qint64 limit = 0;
    qint64 offset = 0;

    static FavoritesResponse decode(const JsonReader &json);
};

// Body of POST /api/v1/favorites.
struct FavoriteCreateRequest
{
    QString historyId;

    QJsonObject toJson() const;
};

// Body of POST /api/v1/usage/history/delete-bulk.
struct BulkDeleteRequest
{
    QList<QString> ids;

    QJsonObject toJson() const;
};

// Answer of the history deletions.
struct DeleteResponse
{
    qint64 deletedCount = 0;
    QString message;

    static DeleteResponse decode(const JsonReader &json);
};
