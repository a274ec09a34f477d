#pragma once

#include "platform/globalshortcuts.h"

#include <QObject>

#include <functional>

class Alerts;
class AppState;
class ImproveFlow;
class Scheduler;
class ShellActions;

// The two system-wide shortcuts: improve the selected text and start voice input. Both need a signed-in user;
// otherwise they offer to sign in.
class HotKeyManager : public QObject
{
    Q_OBJECT

public:
    static inline const QString improveText = QStringLiteral("improveText");
    static inline const QString voiceInput = QStringLiteral("voiceInput");
    // Command+Shift+I and Command+Shift+U in the design's numbering (Ctrl+Shift on Linux).
    static constexpr KeyCombination improveTextDefault{34, 0x120000};
    static constexpr KeyCombination voiceInputDefault{32, 0x120000};
    // The improve flow starts this long after the key press, once the user has let go of the keys.
    static constexpr double improveDelay = 0.1;

    HotKeyManager(GlobalShortcuts &shortcuts, AppState &appState, ImproveFlow &improveFlow, Alerts &alerts,
                  ShellActions &shell, Scheduler &scheduler, QObject *parent = nullptr);

    // Set by the application before setupHotKeys(); runs on a later turn when the voice shortcut is pressed.
    void setOnVoiceHotkeyPressed(std::function<void()> action) { m_onVoiceHotkeyPressed = std::move(action); }

    void setupHotKeys();
    void handleImproveHotkey();
    void handleVoiceHotkey();
    void showAuthenticationRequiredAlert();

private:
    GlobalShortcuts &m_shortcuts;
    AppState &m_appState;
    ImproveFlow &m_improveFlow;
    Alerts &m_alerts;
    ShellActions &m_shell;
    Scheduler &m_scheduler;
    std::function<void()> m_onVoiceHotkeyPressed;
};
