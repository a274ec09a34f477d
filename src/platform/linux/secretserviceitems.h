#pragma once

#include "platform/keychain.h"

class SecretServiceCall;

// The keychain operations as blocking Secret Service calls, for a worker thread only. Items belong to the program's
// own schema with the string attributes "service" and "account"; new items go to the default collection. A locked
// item or collection is unlocked through the service's prompt, and the call reports the prompt phase so that the
// waiting side can give up on a prompt nobody answers.
class SecretServiceItems
{
public:
    enum class Operation
    {
        Add,
        Update,
        Read,
        Remove,
    };

    explicit SecretServiceItems(SecretServiceCall &call);

    Keychain::ReadResult run(Operation operation, const QString &service, const QString &account,
                             const QByteArray &data);

private:
    SecretServiceCall &m_call;
};
