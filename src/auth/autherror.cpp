#include "auth/autherror.h"

AuthError::AuthError(Kind kind)
    : m_kind(kind)
{}

QString AuthError::description() const
{
    switch (m_kind) {
    case Kind::OAuthCancelled:
        return QStringLiteral("Sign in was cancelled");
    case Kind::OAuthNoCallback:
        return QStringLiteral("No response from authentication provider");
    case Kind::OAuthSessionFailed:
        return QStringLiteral("Failed to start authentication session");
    }
    return QStringLiteral("Sign in failed");
}

WebAuthSessionError::WebAuthSessionError(int code, QString description)
    : m_code(code)
    , m_description(std::move(description))
{}

QString WebAuthSessionError::description() const
{
    return m_description.isEmpty() ? QStringLiteral("The sign-in window failed (code %1)").arg(m_code) : m_description;
}
