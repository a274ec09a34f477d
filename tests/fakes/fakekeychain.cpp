#include "fakes/fakekeychain.h"

std::optional<QByteArray> FakeKeychain::item(const QString &service, const QString &account) const
{
    const auto found = m_items.constFind({service, account});
    return found == m_items.constEnd() ? std::nullopt : std::optional(*found);
}

void FakeKeychain::releaseNewest()
{
    if (!m_gates.isEmpty()) {
        m_gates.takeLast()->push(true);
    }
}

QCoro::Task<> FakeKeychain::waitIfHeld()
{
    if (!m_held) {
        co_return;
    }
    auto gate = std::make_shared<AsyncQueue<bool>>();
    m_gates.append(gate);
    auto released = gate->next();
    co_await released;
}

QCoro::Task<int> FakeKeychain::add(QString service, QString account, QByteArray data)
{
    QCoro::Task<> waiting = waitIfHeld();
    co_await std::move(waiting);
    if (m_failures.contains(QStringLiteral("add"))) {
        co_return m_failures.value(QStringLiteral("add"));
    }
    if (m_items.contains({service, account})) {
        co_return KeychainStatus::duplicateItem;
    }
    m_items.insert({service, account}, data);
    co_return KeychainStatus::success;
}

QCoro::Task<int> FakeKeychain::update(QString service, QString account, QByteArray data)
{
    QCoro::Task<> waiting = waitIfHeld();
    co_await std::move(waiting);
    if (m_failures.contains(QStringLiteral("update"))) {
        co_return m_failures.value(QStringLiteral("update"));
    }
    if (!m_items.contains({service, account})) {
        co_return KeychainStatus::itemNotFound;
    }
    m_items.insert({service, account}, data);
    co_return KeychainStatus::success;
}

QCoro::Task<Keychain::ReadResult> FakeKeychain::read(QString service, QString account)
{
    QCoro::Task<> waiting = waitIfHeld();
    co_await std::move(waiting);
    if (m_failures.contains(QStringLiteral("read"))) {
        co_return ReadResult{m_failures.value(QStringLiteral("read")), {}};
    }
    const auto found = item(service, account);
    co_return found ? ReadResult{KeychainStatus::success, *found} : ReadResult{KeychainStatus::itemNotFound, {}};
}

QCoro::Task<int> FakeKeychain::remove(QString service, QString account)
{
    QCoro::Task<> waiting = waitIfHeld();
    co_await std::move(waiting);
    if (m_failures.contains(QStringLiteral("remove"))) {
        co_return m_failures.value(QStringLiteral("remove"));
    }
    co_return m_items.remove({service, account}) ? KeychainStatus::success : KeychainStatus::itemNotFound;
}
