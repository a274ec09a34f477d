#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <optional>

class HttpTransport;

// The identity service's HTTP protocol: builds each request with the service's headers, sends it through the
// transport, returns the JSON object of a 2xx answer and turns every other answer into IdentityServiceError.
// Transport failures pass through unchanged. Keeps no state between calls.
class GoTrueApi
{
public:
    using Query = QList<QPair<QString, QString>>;

    struct Call
    {
        QByteArray method;
        // Below the service's base URL, e.g. "/token".
        QString path;
        Query query;
        std::optional<QJsonObject> body;
        // The user's access token for the calls that act for the user; the anonymous key otherwise.
        QString accessToken;
    };

    // `projectUrl` is the project's origin; the service lives under "/auth/v1" there.
    GoTrueApi(QUrl projectUrl, QString anonKey, HttpTransport &transport);
    GoTrueApi(const GoTrueApi &) = delete;
    GoTrueApi &operator=(const GoTrueApi &) = delete;

    // The body of the 2xx answer as an object; an empty object for an empty body.
    QCoro::Task<QJsonObject> send(Call call);

    // The refresh grant: a new session for `refreshToken`, which the service then considers used.
    QCoro::Task<QJsonObject> refreshGrant(QString refreshToken);
    // The user the access token belongs to.
    QCoro::Task<QJsonObject> user(QString accessToken);

    // The full URL of `path` with `query`, each value percent-encoded.
    QUrl endpoint(const QString &path, const Query &query = {}) const;
    // The first label of the project's host, which names the storage keys ("sb-<ref>-auth-token").
    QString projectRef() const;

private:
    QUrl m_projectUrl;
    QString m_baseUrl;
    QByteArray m_anonKey;
    HttpTransport &m_transport;
};
