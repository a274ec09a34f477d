#pragma once

#include "platform/keychain.h"

#include <QHash>
#include <QPair>

// An in-memory keychain. A status scripted for an operation ("add", "update", "read", "remove") is answered
// instead of doing the work, for every call until cleared.
class FakeKeychain : public Keychain
{
public:
    void failWith(const QString &operation, int status) { m_failures.insert(operation, status); }
    void clearFailures() { m_failures.clear(); }
    void put(const QString &service, const QString &account, const QByteArray &data)
    {
        m_items.insert({service, account}, data);
    }
    std::optional<QByteArray> item(const QString &service, const QString &account) const;

    QCoro::Task<int> add(QString service, QString account, QByteArray data) override;
    QCoro::Task<int> update(QString service, QString account, QByteArray data) override;
    QCoro::Task<ReadResult> read(QString service, QString account) override;
    QCoro::Task<int> remove(QString service, QString account) override;

private:
    QHash<QPair<QString, QString>, QByteArray> m_items;
    QHash<QString, int> m_failures;
};
