#pragma once

#include "platform/identityclient.h"

#include <QList>
#include <QString>

#include <optional>

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

// The changes waiting in `stream`, taken without waiting.
inline QList<AuthStateChange> pendingChanges(AuthEventStream &stream)
{
    QList<AuthStateChange> changes;
    while (true) {
        auto next = stream.next();
        if (!next.await_ready()) {
            break;
        }
        std::optional<AuthStateChange> change = next.await_resume();
        if (!change) {
            break;
        }
        changes.append(std::move(*change));
    }
    return changes;
}
