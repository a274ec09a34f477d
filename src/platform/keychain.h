#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QString>

// Status codes of keychain operations, in the numbering the logic expects on every platform.
namespace KeychainStatus {
constexpr int success = 0;
constexpr int itemNotFound = -25300;
constexpr int duplicateItem = -25299;
// The keychain service is unavailable (no Secret Service on the session bus, or it did not answer in time).
constexpr int notAvailable = -25291;
// The keychain is locked and was not unlocked (the unlock prompt was dismissed or timed out).
constexpr int interactionNotAllowed = -25308;
// Any other failure of the keychain service.
constexpr int unknownFailure = -26276;
} // namespace KeychainStatus

// Generic-password items identified by the attributes service and account. Every operation completes without
// blocking the main thread, and never hangs: a locked or missing keychain answers with a status.
class Keychain
{
public:
    struct ReadResult
    {
        int status = KeychainStatus::success;
        QByteArray data; // the item's secret when status is success
    };

    Keychain() = default;
    virtual ~Keychain();
    Keychain(const Keychain &) = delete;
    Keychain &operator=(const Keychain &) = delete;

    // Adds a new item; duplicateItem when one exists already.
    virtual QCoro::Task<int> add(QString service, QString account, QByteArray data) = 0;
    // Replaces the secret of an existing item in place; itemNotFound when there is none.
    virtual QCoro::Task<int> update(QString service, QString account, QByteArray data) = 0;
    virtual QCoro::Task<ReadResult> read(QString service, QString account) = 0;
    // itemNotFound when there was nothing to remove.
    virtual QCoro::Task<int> remove(QString service, QString account) = 0;
};
