#pragma once

#include "platform/pasteboard.h"

#include <QCoroTask>
#include <QString>

#include <optional>

class Accessibility;
class Alerts;
class KeyboardEvents;
class Scheduler;
class Workspace;

// The bridge to text in other applications: reads the focused application's selection, falling back to a
// synthetic copy, and writes replacement text with a synthetic paste. The user's clipboard is saved whole (every
// item, every type) before the first synthetic keystroke and put back after the last of overlapping runs, unless
// someone else has put something new on it meanwhile.
class AccessibilityManager
{
public:
    static constexpr double copyRestoreDelay = 0.5;
    static constexpr double pasteRestoreDelay = 0.3;
    static constexpr double alertDelay = 0.5;
    // The synthetic copy is given at least this long, then up to copyWaitLimit for the clipboard to change.
    static constexpr double copySettleTime = 0.1;
    static constexpr double copyWaitLimit = 1.0;

    AccessibilityManager(Accessibility &accessibility, KeyboardEvents &keyboard, Pasteboard &pasteboard, Alerts &alerts,
                         Workspace &workspace, Scheduler &scheduler);
    AccessibilityManager(const AccessibilityManager &) = delete;
    AccessibilityManager &operator=(const AccessibilityManager &) = delete;

    bool isProcessTrusted();
    // True when trusted; otherwise asks the system and shows the program's own alert 0.5 s later.
    bool checkAccessibilityPermission();
    QCoro::Task<std::optional<QString>> getSelectedText();
    QCoro::Task<std::optional<QString>> getSelectedTextViaClipboard();
    // True once the paste keystroke has been posted.
    QCoro::Task<bool> replaceSelectedText(QString text);
    QCoro::Task<> showAccessibilityAlert();

private:
    // Saves the user's clipboard unless an earlier run holds it already and nobody changed it since.
    void beginClipboardUse();
    void noteOwnChange();
    void scheduleRestore(double delay);
    void restoreIfLast();

    Accessibility &m_accessibility;
    KeyboardEvents &m_keyboard;
    Pasteboard &m_pasteboard;
    Alerts &m_alerts;
    Workspace &m_workspace;
    Scheduler &m_scheduler;

    std::optional<PasteboardContents> m_userContents;
    qint64 m_ownChangeCount = -1;
    int m_pendingRestores = 0;
};
