#include "backend/historyservice.h"

#include "backend/apiclient.h"

#include <QUrl>

namespace {

const QString historyRoot = QStringLiteral("/api/v1/usage/history");
const QString favoritesRoot = QStringLiteral("/api/v1/favorites");

// Characters of the URL query's allowed set beyond letters, digits and - . _ ~ (which are never encoded).
const QByteArray queryCharactersKept = QByteArrayLiteral("!$&'()*+,/:;=?@");

} // namespace

HistoryService::HistoryService(APIClient &api)
    : m_api(api)
{}

QString HistoryService::historyPath(qint64 limit, qint64 offset, const std::optional<QString> &search)
{
    QString path = QStringLiteral("%1?limit=%2&offset=%3").arg(historyRoot).arg(limit).arg(offset);
    if (search && !search->isEmpty()) {
        path += QStringLiteral("&search=") + QString::fromLatin1(QUrl::toPercentEncoding(*search, queryCharactersKept));
    }
    return path;
}

QCoro::Task<HistoryResponse> HistoryService::fetchHistory(qint64 limit, qint64 offset, std::optional<QString> search)
{
    return m_api.request<HistoryResponse>(historyPath(limit, offset, search), HTTPMethod::Get);
}

QCoro::Task<DeleteResponse> HistoryService::deleteHistoryItem(QString id)
{
    return m_api.request<DeleteResponse>(historyRoot + QLatin1Char('/') + id, HTTPMethod::Delete);
}

QCoro::Task<DeleteResponse> HistoryService::deleteHistoryItems(QList<QString> ids)
{
    return m_api.request<DeleteResponse>(historyRoot + QStringLiteral("/delete-bulk"), HTTPMethod::Post,
                                         BulkDeleteRequest{std::move(ids)}.toJson());
}

QCoro::Task<DeleteResponse> HistoryService::clearHistory()
{
    return m_api.request<DeleteResponse>(historyRoot, HTTPMethod::Delete);
}

QCoro::Task<FavoritesResponse> HistoryService::fetchFavorites(qint64 limit, qint64 offset)
{
    return m_api.request<FavoritesResponse>(
        QStringLiteral("%1?limit=%2&offset=%3").arg(favoritesRoot).arg(limit).arg(offset), HTTPMethod::Get);
}

QCoro::Task<FavoriteItem> HistoryService::addFavorite(QString historyId)
{
    return m_api.request<FavoriteItem>(favoritesRoot, HTTPMethod::Post,
                                       FavoriteCreateRequest{std::move(historyId)}.toJson());
}

QCoro::Task<> HistoryService::removeFavorite(QString id)
{
    return m_api.requestVoid(favoritesRoot + QLatin1Char('/') + id, HTTPMethod::Delete);
}
