#pragma once

#include "platform/identityclient.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>

#include <optional>

// A session of the identity service as the client keeps it: the token response (access and refresh token, expiry,
// user) with `expires_at` always filled in. Stored as that JSON object.
class GoTrueSession
{
public:
    // The session in a token response; none when the answer is not a session (a bare user, `{}`). A response
    // counts as a session when it has an access token, a refresh token and a lifetime.
    static std::optional<GoTrueSession> fromTokenResponse(QJsonObject response, const QDateTime &now);
    // The session kept in storage; none when the bytes are not a usable session.
    static std::optional<GoTrueSession> fromStored(const QByteArray &bytes);
    // The `exp` claim of a JSON Web Token, in Unix seconds; none when the token cannot be read.
    static std::optional<qint64> tokenExpiry(const QString &accessToken);

    QByteArray toStored() const;
    AuthSession toAuthSession() const { return {accessToken(), refreshToken()}; }

    QString accessToken() const;
    QString refreshToken() const;
    // Unix seconds at which the access token expires.
    qint64 expiresAt() const;
    QJsonObject user() const;
    void setUser(QJsonObject user);

    // Seconds from `now` until the access token expires (negative once it has).
    double secondsLeft(const QDateTime &now) const;

private:
    explicit GoTrueSession(QJsonObject json)
        : m_json(std::move(json))
    {}

    QJsonObject m_json;
};
