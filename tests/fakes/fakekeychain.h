#pragma once

#include "platform/keychain.h"
#include "runtime/asyncqueue.h"

#include <QHash>
#include <QList>
#include <QPair>

#include <memory>

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
    // While held, every call waits until the test releases it, like a keychain service that answers slowly.
    void hold(bool held) { m_held = held; }
    qsizetype waitingCalls() const { return m_gates.size(); }
    // Lets the most recent waiting call go on.
    void releaseNewest();

    QCoro::Task<int> add(QString service, QString account, QByteArray data) override;
    QCoro::Task<int> update(QString service, QString account, QByteArray data) override;
    QCoro::Task<ReadResult> read(QString service, QString account) override;
    QCoro::Task<int> remove(QString service, QString account) override;

private:
    QCoro::Task<> waitIfHeld();

    bool m_held = false;
    QList<std::shared_ptr<AsyncQueue<bool>>> m_gates;
    QHash<QPair<QString, QString>, QByteArray> m_items;
    QHash<QString, int> m_failures;
};
