#include "auth/authservice.h"

#include "backend/apiclient.h"
#include "backend/appstate.h"
#include "platform/identityclient.h"
#include "platform/keychain.h"
#include "runtime/error.h"
#include "runtime/logger.h"

#include <QStringDecoder>

namespace {

const QString component = QStringLiteral("AuthService");

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

} // namespace

AuthService::AuthService(IdentityClient &client, AppState &appState, APIClient &api, Keychain &keychain)
    : m_client(client)
    , m_appState(appState)
    , m_api(api)
    , m_keychain(keychain)
{}

QCoro::Task<> AuthService::signIn(QString email, QString password)
{
    QCoro::Task<AuthSession> signingIn = m_client.passwordSignIn(std::move(email), std::move(password));
    co_await std::move(signingIn);
}

QCoro::Task<> AuthService::signOut()
{
    std::optional<QString> failure;
    try {
        QCoro::Task<> signingOut = m_client.signOutGlobally();
        co_await std::move(signingOut);
    } catch (const std::exception &error) {
        failure = describe(error);
    }
    if (!failure) {
        co_return;
    }
    Log::line(component, QStringLiteral("Sign out error: ") + *failure);
    m_appState.updateUser(std::nullopt);
    m_appState.updateCredits(0);
    m_api.setAccessToken({});
}

QCoro::Task<std::optional<QString>> AuthService::readLegacyToken(QString account)
{
    QCoro::Task<Keychain::ReadResult> reading = m_keychain.read(legacyKeychainService, std::move(account));
    const Keychain::ReadResult result = co_await std::move(reading);
    if (result.status != KeychainStatus::success) {
        co_return std::nullopt;
    }
    co_return strictUtf8(result.data);
}

QCoro::Task<> AuthService::deleteLegacyTokens()
{
    QCoro::Task<int> removingAccess = m_keychain.remove(legacyKeychainService, accessTokenKey);
    co_await std::move(removingAccess);
    QCoro::Task<int> removingRefresh = m_keychain.remove(legacyKeychainService, refreshTokenKey);
    co_await std::move(removingRefresh);
}

QCoro::Task<> AuthService::migrateLegacyTokens()
{
    QCoro::Task<std::optional<QString>> readingAccess = readLegacyToken(accessTokenKey);
    const std::optional<QString> accessToken = co_await std::move(readingAccess);
    if (!accessToken) {
        co_return;
    }
    QCoro::Task<std::optional<QString>> readingRefresh = readLegacyToken(refreshTokenKey);
    const std::optional<QString> refreshToken = co_await std::move(readingRefresh);
    if (!refreshToken) {
        co_return;
    }
    Log::line(component, QStringLiteral("Found legacy tokens, attempting migration..."));
    std::optional<QString> failure;
    try {
        QCoro::Task<AuthSession> installing = m_client.installSession(*accessToken, *refreshToken);
        co_await std::move(installing);
    } catch (const std::exception &error) {
        failure = describe(error);
    }
    if (failure) {
        Log::line(component, QStringLiteral("Migration failed: ") + *failure);
    }
    QCoro::Task<> deleting = deleteLegacyTokens();
    co_await std::move(deleting);
    if (!failure) {
        Log::line(component, QStringLiteral("Migration successful, legacy tokens deleted"));
    }
}
