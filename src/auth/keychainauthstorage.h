#pragma once

#include "platform/sessionstorage.h"
#include "runtime/asyncmutex.h"
#include "runtime/error.h"

class Keychain;

// The identity client's session storage in the keychain: one generic-password item per key, identified by the
// service name and the key as account. Calls are carried out one at a time in the order they were made, so a
// store followed at once by a remove can never end with the stored value.
class KeychainAuthStorage : public SessionStorage
{
public:
    class KeychainError : public Error
    {
    public:
        enum class Kind
        {
            UnableToStore,
            UnableToRetrieve,
            UnableToRemove,
        };

        KeychainError(Kind kind, int status);

        Kind kind() const { return m_kind; }
        int status() const { return m_status; }
        QString description() const override;

    private:
        Kind m_kind;
        int m_status;
    };

    KeychainAuthStorage(QString service, Keychain &keychain);

    const QString &service() const { return m_service; }

    // Replaces the value in place when the item exists, so a failed write leaves the previous value intact.
    QCoro::Task<> store(QString key, QByteArray value) override;
    QCoro::Task<std::optional<QByteArray>> retrieve(QString key) override;
    QCoro::Task<> remove(QString key) override;

private:
    const QString m_service;
    Keychain &m_keychain;
    AsyncMutex m_order;
};
