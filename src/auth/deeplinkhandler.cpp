#include "auth/deeplinkhandler.h"

#include "auth/authlinkpresenter.h"
#include "auth/deeplinkparameters.h"
#include "auth/supabasemanager.h"
#include "backend/appstate.h"
#include "platform/identityclient.h"
#include "runtime/error.h"
#include "runtime/logger.h"
#include "runtime/redactedurl.h"
#include "runtime/tasks.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

const QString component = QStringLiteral("AppDelegate");

// The scheme as written, or none when the text has no scheme.
std::optional<QString> schemeOf(const QString &url)
{
    if (QUrl(url).scheme().isEmpty()) {
        return std::nullopt;
    }
    return url.left(url.indexOf(QLatin1Char(':')));
}

// The host as written, or none when the URL has no authority.
std::optional<QString> hostOf(const QString &url)
{
    const qsizetype start = url.indexOf(QStringLiteral("://"));
    if (start < 0) {
        return std::nullopt;
    }
    QString rest = url.mid(start + 3);
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    rest = end < 0 ? rest : rest.left(end);
    const qsizetype at = rest.lastIndexOf(QLatin1Char('@'));
    rest = rest.mid(at + 1);
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    return colon < 0 ? rest : rest.left(colon);
}

} // namespace

AuthLinkPresenter::~AuthLinkPresenter() = default;

DeepLinkHandler::DeepLinkHandler(IdentityClient &client, SupabaseManager &manager, AppState &appState,
                                 AuthLinkPresenter &presenter)
    : m_client(client)
    , m_manager(manager)
    , m_appState(appState)
    , m_presenter(presenter)
{}

void DeepLinkHandler::handleOpenUrls(const QStringList &urls)
{
    if (urls.isEmpty()) {
        return;
    }
    Log::line(component, QStringLiteral("Received URL: ") + redactedUrl(urls.first()));
    handleDeepLink(urls.first());
}

void DeepLinkHandler::handleDeepLink(const QString &url)
{
    const std::optional<QString> linkScheme = schemeOf(url);
    if (linkScheme != scheme) {
        Log::line(component, QStringLiteral("Unknown scheme: ") + linkScheme.value_or(QStringLiteral("nil")));
        return;
    }
    Log::line(component, QStringLiteral("Received deep link: ") + redactedUrl(url));
    startDetached(handleAuthCallback(url), component, QStringLiteral("Handling the auth link"));
}

QCoro::Task<> DeepLinkHandler::handleAuthCallback(QString url)
{
    Log::line(component, QStringLiteral("Trying the identity client's callback exchange..."));
    std::optional<QString> failure;
    try {
        QCoro::Task<AuthSession> exchanging = m_client.completeFromCallbackUrl(QUrl(url));
        co_await std::move(exchanging);
    } catch (const std::exception &error) {
        failure = describe(error);
    }
    if (!failure) {
        Log::line(component, QStringLiteral("Session obtained from URL successfully!"));
        m_appState.clearEmailConfirmationPending();
        m_presenter.presentAccountAfterAuthLink();
        co_return;
    }
    Log::line(component, QStringLiteral("Callback exchange failed: ") + *failure);
    QCoro::Task<> fallingBack = handleWithoutClientExchange(std::move(url));
    co_await std::move(fallingBack);
}

QCoro::Task<> DeepLinkHandler::handleWithoutClientExchange(QString url)
{
    const std::optional<QString> host = hostOf(url);
    if (host != authHost) {
        Log::line(component, QStringLiteral("Unknown host: ") + host.value_or(QStringLiteral("nil")));
        co_return;
    }
    Log::line(component, QStringLiteral("Fallback: parsing URL manually, path=") + QUrl(url).path());
    const QMap<QString, QString> parameters = deepLinkParameters(url);
    Log::line(component, QStringLiteral("All params: ") + parameters.keys().join(QStringLiteral(", ")));

    const QString accessToken = parameters.value(QStringLiteral("access_token"));
    const QString refreshToken = parameters.value(QStringLiteral("refresh_token"));
    const QString tokenHash = parameters.contains(QStringLiteral("token_hash"))
                                  ? parameters.value(QStringLiteral("token_hash"))
                                  : parameters.value(QStringLiteral("token"));
    const bool hasTokenHash =
        parameters.contains(QStringLiteral("token_hash")) || parameters.contains(QStringLiteral("token"));
    if (parameters.contains(QStringLiteral("access_token")) && parameters.contains(QStringLiteral("refresh_token"))) {
        QCoro::Task<> installing = installSessionFromTokens(accessToken, refreshToken);
        co_await std::move(installing);
    } else if (hasTokenHash && parameters.contains(QStringLiteral("type"))) {
        QCoro::Task<> verifying = verifyLinkToken(tokenHash, parameters.value(QStringLiteral("type")));
        co_await std::move(verifying);
    } else {
        Log::line(component, QStringLiteral("No tokens in URL - confirmation may have completed server-side"));
        m_appState.clearEmailConfirmationPending();
    }
    m_presenter.presentAccountAfterAuthLink();
}

QCoro::Task<> DeepLinkHandler::installSessionFromTokens(QString accessToken, QString refreshToken)
{
    Log::line(component, QStringLiteral("Setting session from tokens..."));
    try {
        QCoro::Task<AuthSession> installing = m_client.installSession(std::move(accessToken), std::move(refreshToken));
        co_await std::move(installing);
        m_appState.clearEmailConfirmationPending();
        Log::line(component, QStringLiteral("Session set successfully!"));
    } catch (const std::exception &error) {
        Log::line(component, QStringLiteral("Failed to set session: ") + describe(error));
    }
}

QCoro::Task<> DeepLinkHandler::verifyLinkToken(QString tokenHash, QString type)
{
    Log::line(component, QStringLiteral("Verifying OTP: type=") + type);
    try {
        QCoro::Task<> verifying = m_manager.verifyTokenHash(std::move(tokenHash), type);
        co_await std::move(verifying);
        m_appState.clearEmailConfirmationPending();
        if (type == QStringLiteral("recovery")) {
            m_appState.enterPasswordRecovery();
        }
        Log::line(component, QStringLiteral("OTP verified successfully!"));
    } catch (const std::exception &error) {
        Log::line(component, QStringLiteral("Failed to verify OTP: ") + describe(error));
    }
}
