#pragma once

#include "platform/keychain.h"
#include "platform/linux/secretserviceitems.h"

// How long a keychain call may wait for the Secret Service.
struct SecretServiceLimits
{
    // The service's part of a call (everything but an unlock prompt) must be done within this; otherwise the call
    // ends with notAvailable.
    double replySeconds = 5.0;
    // How long an unlock prompt may stay open; then it is dismissed and the call ends with interactionNotAllowed.
    double promptSeconds = 60.0;
};

// The keychain over the Secret Service (gnome-keyring, KWallet, KeePassXC, ...) through libsecret. Each call runs
// libsecret's blocking API on a thread of its own and is awaited on the main thread with a watchdog, so a service
// that does not answer, or an unlock prompt that nobody answers, ends with a status instead of a hang. Item data is
// never logged.
class SecretServiceKeychain : public Keychain
{
public:
    explicit SecretServiceKeychain(SecretServiceLimits limits = {});
    ~SecretServiceKeychain() override;

    QCoro::Task<int> add(QString service, QString account, QByteArray data) override;
    QCoro::Task<int> update(QString service, QString account, QByteArray data) override;
    QCoro::Task<ReadResult> read(QString service, QString account) override;
    QCoro::Task<int> remove(QString service, QString account) override;

private:
    using Operation = SecretServiceItems::Operation;

    QCoro::Task<ReadResult> perform(Operation operation, QString service, QString account, QByteArray data);

    SecretServiceLimits m_limits;
};
