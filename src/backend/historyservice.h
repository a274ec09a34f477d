#pragma once

#include "backend/wire/historyrecords.h"

#include <QCoroTask>

class APIClient;

// The backend's history of generations and the favourites marked in it. Keeps nothing between calls.
class HistoryService
{
public:
    explicit HistoryService(APIClient &api);
    HistoryService(const HistoryService &) = delete;
    HistoryService &operator=(const HistoryService &) = delete;

    // A page of history; `search` filters it when present and not empty.
    QCoro::Task<HistoryResponse> fetchHistory(qint64 limit, qint64 offset, std::optional<QString> search);
    QCoro::Task<DeleteResponse> deleteHistoryItem(QString id);
    QCoro::Task<DeleteResponse> deleteHistoryItems(QList<QString> ids);
    QCoro::Task<DeleteResponse> clearHistory();
    QCoro::Task<FavoritesResponse> fetchFavorites(qint64 limit, qint64 offset);
    QCoro::Task<FavoriteItem> addFavorite(QString historyId);
    // `id` is a favourite's own id or the id of the history record it marks.
    QCoro::Task<> removeFavorite(QString id);

    // The request path of a history page: the search term is percent-encoded with the URL query's allowed set,
    // so a space travels as %20 while & = + stay as they are.
    static QString historyPath(qint64 limit, qint64 offset, const std::optional<QString> &search);

private:
    APIClient &m_api;
};
