#include "fakes/fakeidentityclient.h"

#include "runtime/error.h"

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

[[noreturn]] void notScripted(const char *operation)
{
    throw std::logic_error(std::string("FakeIdentityClient: not scripted: ") + operation);
}

} // namespace

void FakeIdentityClient::renewSucceeds(std::function<void()> onRenewed)
{
    m_onRenewed = std::move(onRenewed);
    m_renewFailure.reset();
}

void FakeIdentityClient::renewFails(QString message)
{
    m_renewFailure = std::move(message);
}

QCoro::Task<AuthSession> FakeIdentityClient::renewSession()
{
    ++m_renewCount;
    if (m_renewFailure) {
        throw IdentityServiceError(*m_renewFailure);
    }
    if (m_onRenewed) {
        m_onRenewed();
    }
    co_return AuthSession{QStringLiteral("renewed-access"), QStringLiteral("renewed-refresh")};
}

QCoro::Task<> FakeIdentityClient::signOutGlobally()
{
    ++m_signOutCount;
    co_return;
}

QCoro::Task<std::optional<AuthSession>> FakeIdentityClient::createAccount(QString, QString, std::optional<QJsonObject>,
                                                                          QUrl)
{
    notScripted("createAccount");
    co_return std::nullopt;
}

QCoro::Task<AuthSession> FakeIdentityClient::passwordSignIn(QString, QString)
{
    notScripted("passwordSignIn");
    co_return AuthSession{};
}

QCoro::Task<> FakeIdentityClient::requestEmailCode(QString, QUrl, bool)
{
    notScripted("requestEmailCode");
    co_return;
}

QCoro::Task<std::optional<AuthSession>> FakeIdentityClient::verifyEmailCode(QString, QString, EmailOtpType)
{
    notScripted("verifyEmailCode");
    co_return std::nullopt;
}

QCoro::Task<std::optional<AuthSession>> FakeIdentityClient::verifyLinkToken(QString, EmailOtpType)
{
    notScripted("verifyLinkToken");
    co_return std::nullopt;
}

QCoro::Task<> FakeIdentityClient::resendSignUpEmail(QString, QUrl)
{
    notScripted("resendSignUpEmail");
    co_return;
}

QCoro::Task<> FakeIdentityClient::requestPasswordReset(QString, QUrl)
{
    notScripted("requestPasswordReset");
    co_return;
}

QCoro::Task<> FakeIdentityClient::changePassword(QString)
{
    notScripted("changePassword");
    co_return;
}

QCoro::Task<AuthSession> FakeIdentityClient::installSession(QString, QString)
{
    notScripted("installSession");
    co_return AuthSession{};
}

QCoro::Task<AuthSession> FakeIdentityClient::completeFromCallbackUrl(QUrl)
{
    notScripted("completeFromCallbackUrl");
    co_return AuthSession{};
}

QCoro::Task<QUrl> FakeIdentityClient::providerSignInUrl(SignInProvider, QUrl)
{
    notScripted("providerSignInUrl");
    co_return QUrl();
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
