#pragma once

#include "platform/sessionstorage.h"
#include "runtime/error.h"

#include <QMap>
#include <QStringList>

// The storage's own failure in tests.
class StorageFailure : public Error
{
public:
    QString description() const override { return QStringLiteral("storage unavailable"); }
};

// Session storage in memory. Operations can be made to fail; every call is recorded as "store key", "retrieve key"
// or "remove key".
class MemorySessionStorage : public SessionStorage
{
public:
    QMap<QString, QByteArray> items;
    QStringList calls;
    bool storeFails = false;
    bool retrieveFails = false;
    bool removeFails = false;

    QCoro::Task<> store(QString key, QByteArray value) override
    {
        calls.append(QStringLiteral("store ") + key);
        if (storeFails) {
            throw StorageFailure();
        }
        items.insert(key, value);
        co_return;
    }

    QCoro::Task<std::optional<QByteArray>> retrieve(QString key) override
    {
        calls.append(QStringLiteral("retrieve ") + key);
        if (retrieveFails) {
            throw StorageFailure();
        }
        if (!items.contains(key)) {
            co_return std::nullopt;
        }
        co_return items.value(key);
    }

    QCoro::Task<> remove(QString key) override
    {
        calls.append(QStringLiteral("remove ") + key);
        if (removeFails) {
            throw StorageFailure();
        }
        items.remove(key);
        co_return;
    }
};
