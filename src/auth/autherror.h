#pragma once

#include "runtime/error.h"

// Failures of the web sign-in with Google or Apple.
class AuthError : public Error
{
public:
    enum class Kind
    {
        OAuthCancelled,
        OAuthNoCallback,
        OAuthSessionFailed,
    };

    explicit AuthError(Kind kind);

    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
};

// The web-authentication session ended with an error of its own (not a cancellation by the user).
class WebAuthSessionError : public Error
{
public:
    WebAuthSessionError(int code, QString description);

    int code() const { return m_code; }
    QString description() const override;

private:
    int m_code;
    QString m_description;
};
