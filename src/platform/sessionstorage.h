#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QString>

#include <optional>

// Where the identity client keeps its session between runs: opaque bytes under keys of the client's choosing.
// Each operation may fail with the storage's own error (for the keychain, KeychainError).
class SessionStorage
{
public:
    SessionStorage() = default;
    virtual ~SessionStorage();
    SessionStorage(const SessionStorage &) = delete;
    SessionStorage &operator=(const SessionStorage &) = delete;

    virtual QCoro::Task<> store(QString key, QByteArray value) = 0;
    // None when nothing is stored under `key`.
    virtual QCoro::Task<std::optional<QByteArray>> retrieve(QString key) = 0;
    // Succeeds also when nothing was stored.
    virtual QCoro::Task<> remove(QString key) = 0;
};
