#include "app/hotkeymanager.h"

#include "app/improveflow.h"
#include "app/shellactions.h"
#include "backend/appstate.h"
#include "platform/alerts.h"
#include "runtime/logger.h"
#include "runtime/scheduler.h"
#include "runtime/tasks.h"

#include <QPointer>

namespace {

const QString component = QStringLiteral("HotKeyManager");

QCoro::Task<> askToSignIn(Alerts &alerts, ShellActions &shell)
{
    QCoro::Task<int> asking = alerts.runModal(AlertSpec{QStringLiteral("Authentication Required"),
                                                        QStringLiteral("Please sign in to use Lumora Prompt."),
                                                        {QStringLiteral("Sign In"), QStringLiteral("Cancel")}});
    if (co_await std::move(asking) == 0) {
        shell.showSettingsWindow();
    }
}

} // namespace

ShellActions::~ShellActions() = default;

HotKeyManager::HotKeyManager(GlobalShortcuts &shortcuts, AppState &appState, ImproveFlow &improveFlow, Alerts &alerts,
                             ShellActions &shell, Scheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_shortcuts(shortcuts)
    , m_appState(appState)
    , m_improveFlow(improveFlow)
    , m_alerts(alerts)
    , m_shell(shell)
    , m_scheduler(scheduler)
{}

void HotKeyManager::setupHotKeys()
{
    const QPointer<HotKeyManager> self(this);
    const QList<std::tuple<QString, KeyCombination, std::function<void()>>> shortcuts = {
        {improveText, improveTextDefault, [self] { self ? self->handleImproveHotkey() : void(); }},
        {voiceInput, voiceInputDefault, [self] { self ? self->handleVoiceHotkey() : void(); }},
    };
    for (const auto &[name, combination, action] : shortcuts) {
        if (!m_shortcuts.declare(name, combination, action)) {
            Log::line(component, QStringLiteral("Could not register the shortcut ") + name +
                                     QStringLiteral("; another program may be using its key combination"));
        }
    }
}

void HotKeyManager::handleImproveHotkey()
{
    Log::plain(QStringLiteral("Improve text hotkey triggered!"));
    if (!m_appState.isAuthenticated()) {
        m_scheduler.post([self = QPointer(this)] { self ? self->showAuthenticationRequiredAlert() : void(); });
        return;
    }
    m_scheduler.postAfter(improveDelay, [self = QPointer(this)] {
        if (self) {
            startDetached(self->m_improveFlow.improveSelectedText(), component,
                          QStringLiteral("Improving the selection"));
        }
    });
}

void HotKeyManager::handleVoiceHotkey()
{
    Log::plain(QStringLiteral("Voice input hotkey triggered!"));
    if (!m_appState.isAuthenticated()) {
        m_scheduler.post([self = QPointer(this)] { self ? self->showAuthenticationRequiredAlert() : void(); });
        return;
    }
    m_scheduler.post([self = QPointer(this)] {
        if (self && self->m_onVoiceHotkeyPressed) {
            self->m_onVoiceHotkeyPressed();
        }
    });
}

void HotKeyManager::showAuthenticationRequiredAlert()
{
    startDetached(askToSignIn(m_alerts, m_shell), component, QStringLiteral("The sign-in alert"));
}
