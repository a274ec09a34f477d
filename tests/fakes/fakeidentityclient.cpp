#include "fakes/fakeidentityclient.h"

#include "runtime/error.h"

#include <QJsonDocument>

#include <algorithm>

namespace {

class IdentityServiceError : public Error
{
public:
    explicit IdentityServiceError(QString message)
        : m_message(std::move(message))
    {}
    QString description() const override { return m_message; }

private:
    QString m_message;
};

const AuthSession signedInSession{QStringLiteral("access-1"), QStringLiteral("refresh-1")};

} // namespace

void FakeIdentityClient::renewSucceeds(std::function<void()> onRenewed)
{
    m_onRenewed = std::move(onRenewed);
    m_failures.remove(QStringLiteral("renewSession"));
}

void FakeIdentityClient::renewFails(QString message)
{
    m_failures.insert(QStringLiteral("renewSession"), std::move(message));
}

void FakeIdentityClient::failNext(const QString &operation, QString message)
{
    m_failures.insert(operation, std::move(message));
}

void FakeIdentityClient::record(const QString &operation, const QStringList &arguments)
{
    m_calls.append((QStringList{operation} + arguments).join(QLatin1Char(' ')));
    const auto failure = m_failures.constFind(operation);
    if (failure == m_failures.constEnd()) {
        return;
    }
    const QString message = *failure;
    if (operation != QStringLiteral("renewSession")) {
        m_failures.erase(failure);
    }
    throw IdentityServiceError(message);
}

QCoro::Task<AuthSession> FakeIdentityClient::renewSession()
{
    ++m_renewCount;
    record(QStringLiteral("renewSession"));
    if (m_onRenewed) {
        m_onRenewed();
    }
    co_return AuthSession{QStringLiteral("renewed-access"), QStringLiteral("renewed-refresh")};
}

QCoro::Task<> FakeIdentityClient::signOutGlobally()
{
    ++m_signOutCount;
    record(QStringLiteral("signOutGlobally"));
    co_return;
}

QCoro::Task<std::optional<AuthSession>>
FakeIdentityClient::createAccount(QString email, QString password, std::optional<QJsonObject> metadata, QUrl redirect)
{
    const QString data = metadata ? QString::fromUtf8(QJsonDocument(*metadata).toJson(QJsonDocument::Compact))
                                  : QStringLiteral("no-metadata");
    record(QStringLiteral("createAccount"), {email, password, data, redirect.toString()});
    // A copy: QCoro moves from an lvalue given to co_return.
    co_return std::optional<AuthSession>(m_createdSession);
}

QCoro::Task<AuthSession> FakeIdentityClient::passwordSignIn(QString email, QString password)
{
    record(QStringLiteral("passwordSignIn"), {email, password});
    co_return signedInSession;
}

QCoro::Task<> FakeIdentityClient::requestEmailCode(QString email, QUrl redirect, bool createUser)
{
    record(QStringLiteral("requestEmailCode"),
           {email, redirect.toString(), createUser ? QStringLiteral("create") : QStringLiteral("no-create")});
    co_return;
}

QCoro::Task<std::optional<AuthSession>> FakeIdentityClient::verifyEmailCode(QString email, QString code,
                                                                            EmailOtpType type)
{
    record(QStringLiteral("verifyEmailCode"), {email, code, emailOtpTypeName(type)});
    co_return signedInSession;
}

QCoro::Task<std::optional<AuthSession>> FakeIdentityClient::verifyLinkToken(QString tokenHash, EmailOtpType type)
{
    record(QStringLiteral("verifyLinkToken"), {tokenHash, emailOtpTypeName(type)});
    co_return signedInSession;
}

QCoro::Task<> FakeIdentityClient::resendSignUpEmail(QString email, QUrl redirect)
{
    record(QStringLiteral("resendSignUpEmail"), {email, redirect.toString()});
    co_return;
}

QCoro::Task<> FakeIdentityClient::requestPasswordReset(QString email, QUrl redirect)
{
    record(QStringLiteral("requestPasswordReset"), {email, redirect.toString()});
    co_return;
}

QCoro::Task<> FakeIdentityClient::changePassword(QString newPassword)
{
    record(QStringLiteral("changePassword"), {newPassword});
    co_return;
}

QCoro::Task<AuthSession> FakeIdentityClient::installSession(QString accessToken, QString refreshToken)
{
    record(QStringLiteral("installSession"), {accessToken, refreshToken});
    co_return AuthSession{accessToken, refreshToken};
}

QCoro::Task<AuthSession> FakeIdentityClient::completeFromCallbackUrl(QUrl callbackUrl)
{
    record(QStringLiteral("completeFromCallbackUrl"), {callbackUrl.toString()});
    co_return signedInSession;
}

QCoro::Task<QUrl> FakeIdentityClient::providerSignInUrl(SignInProvider provider, QUrl redirect)
{
    const QString name = provider == SignInProvider::Apple ? QStringLiteral("apple") : QStringLiteral("google");
    record(QStringLiteral("providerSignInUrl"), {name, redirect.toString()});
    co_return QUrl(QStringLiteral("https://identity.test/authorize?provider=") + name);
}

std::shared_ptr<AuthEventStream> FakeIdentityClient::authEvents()
{
    auto stream = std::make_shared<AuthEventStream>();
    m_subscriptions.push_back(stream);
    return stream;
}

void FakeIdentityClient::emitEvent(AuthEvent event, std::optional<AuthSession> session)
{
    const auto subscriptions = m_subscriptions;
    for (const auto &stream : subscriptions) {
        stream->push(AuthStateChange{event, session});
    }
}

int FakeIdentityClient::subscriptionCount() const
{
    return static_cast<int>(
        std::count_if(m_subscriptions.begin(), m_subscriptions.end(), [](const auto &s) { return !s->isClosed(); }));
}
