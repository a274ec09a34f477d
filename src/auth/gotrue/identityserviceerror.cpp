#include "auth/gotrue/identityserviceerror.h"

#include "platform/httptransport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString firstString(const QJsonObject &body, std::initializer_list<QLatin1StringView> keys)
{
    for (const QLatin1StringView key : keys) {
        const QJsonValue value = body.value(key);
        if (value.isString()) {
            return value.toString();
        }
    }
    return {};
}

} // namespace

IdentityServiceError::IdentityServiceError(int status, QString code, QString message)
    : m_status(status)
    , m_code(std::move(code))
    , m_message(std::move(message))
{}

// The three shapes: {"code":"<error code>","message":...} (versioned API), {"code":<status>,"error_code":...,
// "msg":...} (unversioned) and {"error":...,"error_description":...} (OAuth style). The message is the first string
// among msg, message, error_description and error, else the raw JSON.
IdentityServiceError IdentityServiceError::fromResponse(const HttpResponse &response)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(response.body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        return IdentityServiceError(response.status, {},
                                    QStringLiteral("The identity service failed with status %1").arg(response.status));
    }
    const QJsonObject body = document.object();
    QString message = firstString(body, {QLatin1StringView("msg"), QLatin1StringView("message"),
                                         QLatin1StringView("error_description"), QLatin1StringView("error")});
    if (message.isEmpty()) {
        message = QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact));
    }
    // A string "code" only occurs in the versioned shape; the unversioned shape puts the status there.
    const QString code =
        firstString(body, {QLatin1StringView("code"), QLatin1StringView("error_code"), QLatin1StringView("error")});
    IdentityServiceError error(response.status, code, std::move(message));
    const QJsonObject weakPassword = body.value(QLatin1StringView("weak_password")).toObject();
    for (const QJsonValue reason : weakPassword.value(QLatin1StringView("reasons")).toArray()) {
        error.m_weakPasswordReasons.append(reason.toString());
    }
    return error;
}

IdentityServiceError IdentityServiceError::invalidResponse()
{
    return IdentityServiceError(0, QStringLiteral("invalid_response"),
                                QStringLiteral("The identity service sent an answer that could not be understood"));
}

IdentityServiceError IdentityServiceError::sessionMissing()
{
    return IdentityServiceError(0, QStringLiteral("session_missing"), QStringLiteral("You are not signed in"));
}

IdentityServiceError IdentityServiceError::invalidCallback()
{
    return IdentityServiceError(0, QStringLiteral("invalid_callback"),
                                QStringLiteral("The sign-in link does not carry a sign-in result"));
}

IdentityServiceError IdentityServiceError::verifierMissing()
{
    return IdentityServiceError(0, QStringLiteral("pkce_verifier_missing"),
                                QStringLiteral("This sign-in was not started here or has already been completed. "
                                               "Please start the sign-in again"));
}
