#include "platform/linux/secretservicekeychain.h"

#include "platform/linux/keychainlog.h"
#include "platform/linux/secretservicecall.h"
#include "platform/linux/secretserviceitems.h"

#include <QCoroFuture>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

namespace {

std::chrono::milliseconds toMilliseconds(double seconds)
{
    return std::chrono::milliseconds(std::llround(seconds * 1000.0));
}

} // namespace

SecretServiceKeychain::SecretServiceKeychain(SecretServiceLimits limits)
    : m_limits(limits)
{}

SecretServiceKeychain::~SecretServiceKeychain() = default;

QCoro::Task<int> SecretServiceKeychain::add(QString service, QString account, QByteArray data)
{
    QCoro::Task<ReadResult> adding = perform(Operation::Add, std::move(service), std::move(account), std::move(data));
    const ReadResult result = co_await std::move(adding);
    co_return result.status;
}

QCoro::Task<int> SecretServiceKeychain::update(QString service, QString account, QByteArray data)
{
    QCoro::Task<ReadResult> updating =
        perform(Operation::Update, std::move(service), std::move(account), std::move(data));
    const ReadResult result = co_await std::move(updating);
    co_return result.status;
}

QCoro::Task<Keychain::ReadResult> SecretServiceKeychain::read(QString service, QString account)
{
    return perform(Operation::Read, std::move(service), std::move(account), {});
}

QCoro::Task<int> SecretServiceKeychain::remove(QString service, QString account)
{
    QCoro::Task<ReadResult> removing = perform(Operation::Remove, std::move(service), std::move(account), {});
    const ReadResult result = co_await std::move(removing);
    co_return result.status;
}

QCoro::Task<Keychain::ReadResult> SecretServiceKeychain::perform(Operation operation, QString service, QString account,
                                                                 QByteArray data)
{
    auto call = std::make_shared<SecretServiceCall>();
    QFuture<ReadResult> answer = call->answer();

    // The thread is detached: a Secret Service that never answers must not hold up the program, not even at exit.
    std::thread([call, operation, service, account, data] {
        SecretServiceItems items(*call);
        call->settle(items.run(operation, service, account, data));
    }).detach();

    // The watchdog gives each phase of the call its own limit: a reply of the service, or an unlock prompt.
    const SecretServiceLimits limits = m_limits;
    const auto checkEvery = toMilliseconds(std::min(limits.replySeconds, limits.promptSeconds));
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &watchdog, [&watchdog, call, limits, checkEvery] {
        const bool prompting = call->phase() == SecretServiceCall::Phase::Prompt;
        const auto limit = toMilliseconds(prompting ? limits.promptSeconds : limits.replySeconds);
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(call->timeInPhase());
        if (spent < limit) {
            // The phase may change meanwhile: look again within the shorter of the two limits.
            watchdog.start(std::min(limit - spent, checkEvery));
            return;
        }
        if (prompting) {
            qCWarning(lcKeychain) << "Nobody answered the keychain prompt; dismissing it";
            call->abandon(KeychainStatus::interactionNotAllowed);
        } else {
            qCWarning(lcKeychain) << "The Secret Service did not answer in time";
            call->abandon(KeychainStatus::notAvailable);
        }
    });
    watchdog.start(checkEvery);

    ReadResult result = co_await answer;
    co_return result;
}
