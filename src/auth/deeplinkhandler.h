#pragma once

#include <QCoroTask>
#include <QStringList>

class AppState;
class AuthLinkPresenter;
class IdentityClient;
class SupabaseManager;

// Turns the program's own "wordloom://" links (e-mail confirmation, sign-in, password recovery) into a session or
// a verified address, then shows the account. URLs are taken as the text that was delivered, because the scheme
// and host are matched case-sensitively. Every outcome is logged; token values never are.
class DeepLinkHandler
{
public:
    static inline const QString scheme = QStringLiteral("wordloom");
    static inline const QString authHost = QStringLiteral("auth");

    DeepLinkHandler(IdentityClient &client, SupabaseManager &manager, AppState &appState, AuthLinkPresenter &presenter);
    DeepLinkHandler(const DeepLinkHandler &) = delete;
    DeepLinkHandler &operator=(const DeepLinkHandler &) = delete;

    // The platform's open-URLs delivery: only the first URL is handled.
    void handleOpenUrls(const QStringList &urls);
    void handleDeepLink(const QString &url);
    QCoro::Task<> handleAuthCallback(QString url);

private:
    QCoro::Task<> handleWithoutClientExchange(QString url);
    QCoro::Task<> installSessionFromTokens(QString accessToken, QString refreshToken);
    QCoro::Task<> verifyLinkToken(QString tokenHash, QString type);

    IdentityClient &m_client;
    SupabaseManager &m_manager;
    AppState &m_appState;
    AuthLinkPresenter &m_presenter;
};
