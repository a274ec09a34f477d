#include "auth/gotrue/gotruesession.h"

#include <QJsonDocument>

namespace {

const QLatin1StringView accessTokenKey("access_token");
const QLatin1StringView refreshTokenKey("refresh_token");
const QLatin1StringView expiresInKey("expires_in");
const QLatin1StringView expiresAtKey("expires_at");
const QLatin1StringView userKey("user");

bool hasText(const QJsonObject &json, QLatin1StringView key)
{
    return !json.value(key).toString().isEmpty();
}

} // namespace

std::optional<GoTrueSession> GoTrueSession::fromTokenResponse(QJsonObject response, const QDateTime &now)
{
    const qint64 expiresIn = response.value(expiresInKey).toInteger();
    if (!hasText(response, accessTokenKey) || !hasText(response, refreshTokenKey) || expiresIn <= 0) {
        return std::nullopt;
    }
    if (response.value(expiresAtKey).toInteger() <= 0) {
        response.insert(expiresAtKey, now.toSecsSinceEpoch() + expiresIn);
    }
    return GoTrueSession(std::move(response));
}

std::optional<GoTrueSession> GoTrueSession::fromStored(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    const QJsonObject json = document.object();
    if (!hasText(json, accessTokenKey) || !hasText(json, refreshTokenKey) ||
        json.value(expiresAtKey).toInteger() <= 0) {
        return std::nullopt;
    }
    return GoTrueSession(json);
}

std::optional<qint64> GoTrueSession::tokenExpiry(const QString &accessToken)
{
    const QStringList parts = accessToken.split(QLatin1Char('.'));
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const auto payload = QByteArray::fromBase64Encoding(
        parts.at(1).toLatin1(), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!payload) {
        return std::nullopt;
    }
    const QJsonValue exp = QJsonDocument::fromJson(*payload).object().value(QLatin1StringView("exp"));
    if (!exp.isDouble()) {
        return std::nullopt;
    }
    return exp.toInteger();
}

QByteArray GoTrueSession::toStored() const
{
    return QJsonDocument(m_json).toJson(QJsonDocument::Compact);
}

QString GoTrueSession::accessToken() const
{
    return m_json.value(accessTokenKey).toString();
}

QString GoTrueSession::refreshToken() const
{
    return m_json.value(refreshTokenKey).toString();
}

qint64 GoTrueSession::expiresAt() const
{
    return m_json.value(expiresAtKey).toInteger();
}

QJsonObject GoTrueSession::user() const
{
    return m_json.value(userKey).toObject();
}

void GoTrueSession::setUser(QJsonObject user)
{
    m_json.insert(userKey, std::move(user));
}

double GoTrueSession::secondsLeft(const QDateTime &now) const
{
    return static_cast<double>(expiresAt() * 1000 - now.toMSecsSinceEpoch()) / 1000.0;
}
