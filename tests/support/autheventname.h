#pragma once

#include "platform/identityclient.h"

#include <QString>

// An event's name in test expectations.
inline QString eventName(AuthEvent event)
{
    switch (event) {
    case AuthEvent::InitialSession:
        return QStringLiteral("InitialSession");
    case AuthEvent::PasswordRecovery:
        return QStringLiteral("PasswordRecovery");
    case AuthEvent::SignedIn:
        return QStringLiteral("SignedIn");
    case AuthEvent::SignedOut:
        return QStringLiteral("SignedOut");
    case AuthEvent::TokenRefreshed:
        return QStringLiteral("TokenRefreshed");
    case AuthEvent::UserUpdated:
        return QStringLiteral("UserUpdated");
    case AuthEvent::UserDeleted:
        return QStringLiteral("UserDeleted");
    case AuthEvent::MfaChallengeVerified:
        return QStringLiteral("MfaChallengeVerified");
    }
    return QStringLiteral("?");
}
