#pragma once

#include "runtime/error.h"

#include <QByteArray>
#include <QStringList>

struct HttpResponse;

// A failure reported by the identity service, or found by its client before or after talking to it. The
// description is the service's own message; `status` is the HTTP status (0 for failures found on this side) and
// `code` the service's error code ("invalid_credentials", "otp_expired", ...) when it sent one.
class IdentityServiceError : public Error
{
public:
    IdentityServiceError(int status, QString code, QString message);

    // The error of a non-2xx answer, from any of the service's three error body shapes.
    static IdentityServiceError fromResponse(const HttpResponse &response);
    // An answer that is not what the operation expects (not JSON, no session where one must be).
    static IdentityServiceError invalidResponse();
    // An operation that needs a signed-in session found none.
    static IdentityServiceError sessionMissing();
    // A callback URL that carries neither a code nor tokens nor an error.
    static IdentityServiceError invalidCallback();
    // A PKCE code arrived but no code verifier was stored for it.
    static IdentityServiceError verifierMissing();

    int status() const { return m_status; }
    const QString &code() const { return m_code; }
    // For weak_password errors: why the service refused the password ("length", "characters", "pwned").
    const QStringList &weakPasswordReasons() const { return m_weakPasswordReasons; }

    // A refusal of the request itself (4xx): the same request will fail again. Server errors (5xx) and failures
    // found on this side are not.
    bool isRefusal() const { return m_status >= 400 && m_status <= 499; }

    QString description() const override { return m_message; }

private:
    int m_status;
    QString m_code;
    QString m_message;
    QStringList m_weakPasswordReasons;
};
