// Composition root: builds the Linux platform services and the program's shared instances, then runs in the
// background: the stored session is restored, the shortcuts are registered, and Ctrl+Shift+I improves the
// selection of the focused application.
#include "app/accessibilitymanager.h"
#include "app/hotkeymanager.h"
#include "app/improveflow.h"
#include "app/overlaywindowcontroller.h"
#include "auth/authservice.h"
#include "auth/deeplinkhandler.h"
#include "auth/gotrue/gotrueclient.h"
#include "auth/keychainauthstorage.h"
#include "auth/supabasemanager.h"
#include "backend/apiclient.h"
#include "backend/appstate.h"
#include "backend/promptservice.h"
#include "buildconfig.h"
#include "platform/linux/browserwebauthsession.h"
#include "platform/linux/desktop/desktopworkspace.h"
#include "platform/linux/desktop/qmlalerts.h"
#include "platform/linux/desktop/qmloverlaypanel.h"
#include "platform/linux/desktop/qtpasteboard.h"
#include "platform/linux/desktop/quickrenderer.h"
#include "platform/linux/secretservicekeychain.h"
#include "platform/linux/singleinstancechannel.h"
#include "platform/linux/x11/x11accessibility.h"
#include "platform/linux/x11/x11activewindow.h"
#include "platform/linux/x11/x11globalshortcuts.h"
#include "platform/linux/x11/xtestkeyboardevents.h"
#include "platform/qtnetwork/qnetworkhttptransport.h"
#include "runtime/logger.h"
#include "runtime/qtscheduler.h"
#include "runtime/tasks.h"
#include "shell/backgroundshell.h"

#include <QGuiApplication>
#include <QTimer>

namespace {

xcb_connection_t *x11Connection(QGuiApplication &app)
{
    const auto *x11 = app.nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    // The selection, keystroke and shortcut services speak X11: on XWayland, Qt must use it too.
    if (qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    chooseQuickRenderer();
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Wordloom"));
    QGuiApplication::setApplicationName(QStringLiteral("Lumora Prompt"));
    QGuiApplication::setApplicationVersion(QStringLiteral(LUMORA_VERSION));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    // One instance per user: a later start hands its wordloom:// links to the running one.
    SingleInstanceChannel channel;
    const QStringList startUrls = SingleInstanceChannel::urlsFromArguments(QGuiApplication::arguments());
    if (channel.handOff(startUrls) || (!channel.listen() && channel.handOff(startUrls))) {
        return 0;
    }

    QtScheduler scheduler;
    QNetworkHttpTransport transport;
    SecretServiceKeychain keychain;
    KeychainAuthStorage sessionStorage(SupabaseManager::sessionStorageService, keychain);
    GoTrueClient identity(QUrl(QStringLiteral(LUMORA_IDENTITY_URL)), QStringLiteral(LUMORA_IDENTITY_ANON_KEY),
                          transport, sessionStorage, scheduler);
    APIClient api(QStringLiteral(LUMORA_BACKEND_URL), transport, identity);
    AppState appState(scheduler);
    PromptService prompts(api, appState);
    BrowserWebAuthSession webAuth(BrowserWebAuthSession::systemBrowser());
    SupabaseManager supabase(identity, api, appState, prompts, webAuth);
    AuthService auth(identity, appState, api, keychain);
    BackgroundShell shell;
    DeepLinkHandler deepLinks(identity, supabase, appState, shell);

    xcb_connection_t *connection = x11Connection(app);
    X11Accessibility accessibilityPlatform(connection);
    XTestKeyboardEvents keyboard(connection, scheduler);
    X11GlobalShortcuts shortcuts(connection);
    QtPasteboard pasteboard(QGuiApplication::clipboard());
    QmlAlerts alerts;
    DesktopWorkspace workspace(DesktopWorkspace::systemOpener(), DesktopWorkspace::detachedLauncher(),
                               DesktopWorkspace::pathFinder());
    QmlOverlayPanel overlayPanel([connection] { return activeWindowCentre(connection); });
    AccessibilityManager accessibility(accessibilityPlatform, keyboard, pasteboard, alerts, workspace, scheduler);
    OverlayWindowController overlay(overlayPanel, scheduler);
    ImproveFlow improveFlow(accessibility, prompts, appState, overlay, pasteboard);
    HotKeyManager hotkeys(shortcuts, appState, improveFlow, alerts, shell, scheduler);

    // A provider's sign-in callback completes the waiting web sign-in; other links go to the deep-link handling.
    const auto openUrls = [&](const QStringList &urls) {
        QStringList rest;
        for (const QString &url : urls) {
            if (!webAuth.deliverCallback(QUrl(url))) {
                rest.append(url);
            }
        }
        deepLinks.handleOpenUrls(rest);
    };
    QObject::connect(&channel, &SingleInstanceChannel::urlsReceived, &app, openUrls);

    hotkeys.setupHotKeys();
    supabase.startAuthListener();
    startDetached(identity.start(), QStringLiteral("AppDelegate"), QStringLiteral("Restoring the session"));
    startDetached(auth.migrateLegacyTokens(), QStringLiteral("AppDelegate"), QStringLiteral("Migration"));
    accessibility.checkAccessibilityPermission();
    if (!startUrls.isEmpty()) {
        QTimer::singleShot(0, &app, [&] { openUrls(startUrls); });
    }
    Log::line(u"AppDelegate", QStringLiteral("Lumora Prompt is running; press Ctrl+Shift+I to improve the selection"));

    const int status = QGuiApplication::exec();
    supabase.stopAuthListener();
    return status;
}
