#include "auth/gotrue/gotrueapi.h"

#include "auth/gotrue/identityserviceerror.h"
#include "platform/httptransport.h"

#include <QJsonDocument>

namespace {

constexpr double requestTimeoutSeconds = 30.0;
const QByteArray apiVersion = "2024-01-01";
const QByteArray clientInfo = "lumora-prompt-gotrue-cpp/0.1.0";

} // namespace

GoTrueApi::GoTrueApi(QUrl projectUrl, QString anonKey, HttpTransport &transport)
    : m_projectUrl(std::move(projectUrl))
    , m_anonKey(anonKey.toUtf8())
    , m_transport(transport)
{
    QString base = m_projectUrl.toString(QUrl::FullyEncoded | QUrl::RemoveQuery | QUrl::RemoveFragment);
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    m_baseUrl = base + QStringLiteral("/auth/v1");
}

QCoro::Task<QJsonObject> GoTrueApi::send(Call call)
{
    HttpRequest request;
    request.url = endpoint(call.path, call.query);
    request.method = call.method;
    request.timeoutSeconds = requestTimeoutSeconds;
    const QByteArray bearer = call.accessToken.isEmpty() ? m_anonKey : call.accessToken.toUtf8();
    request.setHeader("apikey", m_anonKey);
    request.setHeader("Authorization", "Bearer " + bearer);
    request.setHeader("X-Supabase-Api-Version", apiVersion);
    request.setHeader("X-Client-Info", clientInfo);
    if (call.body) {
        request.setHeader("Content-Type", "application/json;charset=UTF-8");
        request.body = QJsonDocument(*call.body).toJson(QJsonDocument::Compact);
    }
    QCoro::Task<HttpResponse> sending = m_transport.send(std::move(request));
    const HttpResponse response = co_await std::move(sending);
    if (!response.isHttp()) {
        throw IdentityServiceError::invalidResponse();
    }
    if (response.status < 200 || response.status > 299) {
        throw IdentityServiceError::fromResponse(response);
    }
    if (response.body.trimmed().isEmpty()) {
        co_return QJsonObject();
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(response.body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        throw IdentityServiceError::invalidResponse();
    }
    co_return document.object();
}

QCoro::Task<QJsonObject> GoTrueApi::refreshGrant(QString refreshToken)
{
    Call call{"POST",
              QStringLiteral("/token"),
              {{QStringLiteral("grant_type"), QStringLiteral("refresh_token")}},
              QJsonObject{{QStringLiteral("refresh_token"), refreshToken}},
              {}};
    return send(std::move(call));
}

QCoro::Task<QJsonObject> GoTrueApi::user(QString accessToken)
{
    Call call{"GET", QStringLiteral("/user"), {}, std::nullopt, std::move(accessToken)};
    return send(std::move(call));
}

QUrl GoTrueApi::endpoint(const QString &path, const Query &query) const
{
    QString url = m_baseUrl + path;
    QChar separator = QLatin1Char('?');
    for (const auto &[name, value] : query) {
        url += separator + QString::fromLatin1(QUrl::toPercentEncoding(name)) + QLatin1Char('=') +
               QString::fromLatin1(QUrl::toPercentEncoding(value));
        separator = QLatin1Char('&');
    }
    return QUrl(url, QUrl::StrictMode);
}

QString GoTrueApi::projectRef() const
{
    return m_projectUrl.host().section(QLatin1Char('.'), 0, 0);
}
