#pragma once

#include <QCoroTask>
#include <QString>

class APIClient;
class AppState;
class IdentityClient;
class Keychain;

// Password sign-in and sign-out for the screens, and the one-time move of tokens that earlier versions kept in
// the keychain into the identity client.
class AuthService
{
public:
    static inline const QString legacyKeychainService = QStringLiteral("com.wordloom.auth");
    static inline const QString accessTokenKey = QStringLiteral("accessToken");
    static inline const QString refreshTokenKey = QStringLiteral("refreshToken");

    AuthService(IdentityClient &client, AppState &appState, APIClient &api, Keychain &keychain);
    AuthService(const AuthService &) = delete;
    AuthService &operator=(const AuthService &) = delete;

    // The signed-in event does the rest; the identity service's error reaches the caller.
    QCoro::Task<> signIn(QString email, QString password);
    // Never fails: when the identity service cannot be told, the local state is cleared anyway.
    QCoro::Task<> signOut();
    // Never fails; after one attempt with both legacy tokens present they are gone from the keychain.
    QCoro::Task<> migrateLegacyTokens();

private:
    QCoro::Task<std::optional<QString>> readLegacyToken(QString account);
    QCoro::Task<> deleteLegacyTokens();

    IdentityClient &m_client;
    AppState &m_appState;
    APIClient &m_api;
    Keychain &m_keychain;
};
