#include "auth/keychainauthstorage.h"

#include "platform/keychain.h"

KeychainAuthStorage::KeychainError::KeychainError(Kind kind, int status)
    : m_kind(kind)
    , m_status(status)
{}

QString KeychainAuthStorage::KeychainError::description() const
{
    switch (m_kind) {
    case Kind::UnableToStore:
        return QStringLiteral("Unable to store in Keychain: %1").arg(m_status);
    case Kind::UnableToRetrieve:
        return QStringLiteral("Unable to retrieve from Keychain: %1").arg(m_status);
    case Kind::UnableToRemove:
        return QStringLiteral("Unable to remove from Keychain: %1").arg(m_status);
    }
    return QStringLiteral("Keychain error: %1").arg(m_status);
}

KeychainAuthStorage::KeychainAuthStorage(QString service, Keychain &keychain)
    : m_service(std::move(service))
    , m_keychain(keychain)
{}

QCoro::Task<> KeychainAuthStorage::store(QString key, QByteArray value)
{
    auto locking = m_order.lock();
    const AsyncMutex::Guard inOrder = co_await locking;
    QCoro::Task<int> updating = m_keychain.update(m_service, key, value);
    int status = co_await std::move(updating);
    if (status == KeychainStatus::itemNotFound) {
        QCoro::Task<int> adding = m_keychain.add(m_service, key, value);
        status = co_await std::move(adding);
    }
    if (status != KeychainStatus::success) {
        throw KeychainError(KeychainError::Kind::UnableToStore, status);
    }
}

QCoro::Task<std::optional<QByteArray>> KeychainAuthStorage::retrieve(QString key)
{
    auto locking = m_order.lock();
    const AsyncMutex::Guard inOrder = co_await locking;
    QCoro::Task<Keychain::ReadResult> reading = m_keychain.read(m_service, key);
    const Keychain::ReadResult result = co_await std::move(reading);
    if (result.status == KeychainStatus::itemNotFound) {
        co_return std::nullopt;
    }
    if (result.status != KeychainStatus::success) {
        throw KeychainError(KeychainError::Kind::UnableToRetrieve, result.status);
    }
    co_return result.data;
}

QCoro::Task<> KeychainAuthStorage::remove(QString key)
{
    auto locking = m_order.lock();
    const AsyncMutex::Guard inOrder = co_await locking;
    QCoro::Task<int> removing = m_keychain.remove(m_service, key);
    const int status = co_await std::move(removing);
    if (status != KeychainStatus::success && status != KeychainStatus::itemNotFound) {
        throw KeychainError(KeychainError::Kind::UnableToRemove, status);
    }
}
