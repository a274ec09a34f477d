#include "app/accessibilitymanager.h"

#include "platform/accessibility.h"
#include "platform/alerts.h"
#include "platform/keyboardevents.h"
#include "platform/workspace.h"
#include "runtime/logger.h"
#include "runtime/scheduler.h"
#include "runtime/tasks.h"

namespace {

const QString accessibilityTitle = QStringLiteral("Accessibility Permission Required");

AlertSpec accessibilityAlert(const QString &unsupportedReason)
{
    if (!unsupportedReason.isEmpty()) {
        return {accessibilityTitle, unsupportedReason, {QStringLiteral("OK")}};
    }
    const QStringList lines = {
        QStringLiteral("Lumora Prompt needs Accessibility permission to read selected text."),
        QString(),
        QStringLiteral("1. Open System Settings > Privacy & Security > Accessibility"),
        QStringLiteral("2. Enable \"Lumora Prompt\""),
        QStringLiteral("3. Restart the app"),
    };
    return {accessibilityTitle,
            lines.join(QLatin1Char('\n')),
            {QStringLiteral("Open System Settings"), QStringLiteral("Later")}};
}

} // namespace

AccessibilityManager::AccessibilityManager(Accessibility &accessibility, KeyboardEvents &keyboard,
                                           Pasteboard &pasteboard, Alerts &alerts, Workspace &workspace,
                                           Scheduler &scheduler)
    : m_accessibility(accessibility)
    , m_keyboard(keyboard)
    , m_pasteboard(pasteboard)
    , m_alerts(alerts)
    , m_workspace(workspace)
    , m_scheduler(scheduler)
{}

bool AccessibilityManager::isProcessTrusted()
{
    return m_accessibility.isProcessTrusted();
}

bool AccessibilityManager::checkAccessibilityPermission()
{
    if (m_accessibility.isProcessTrusted()) {
        return true;
    }
    m_accessibility.isProcessTrustedWithPrompt();
    m_scheduler.postAfter(alertDelay, [this] {
        startDetached(showAccessibilityAlert(), QStringLiteral("AccessibilityManager"), QStringLiteral("The alert"));
    });
    return false;
}

QCoro::Task<> AccessibilityManager::showAccessibilityAlert()
{
    QCoro::Task<int> asking = m_alerts.runModal(accessibilityAlert(m_accessibility.unsupportedReason()));
    const int button = co_await std::move(asking);
    if (button == 0 && m_accessibility.unsupportedReason().isEmpty()) {
        m_workspace.openSystemSettings(Workspace::SettingsPane::Accessibility);
    }
}

QCoro::Task<std::optional<QString>> AccessibilityManager::getSelectedText()
{
    if (!m_accessibility.isProcessTrusted()) {
        Log::plain(QStringLiteral("No accessibility permission"));
        co_return std::nullopt;
    }
    QCoro::Task<SelectionRead> reading = m_accessibility.readSelectedText();
    const SelectionRead read = co_await std::move(reading);
    switch (read.outcome) {
    case SelectionRead::Outcome::NoFocusedElement:
        Log::plain(QStringLiteral("Could not get focused element: ") + read.errorValue);
        co_return std::nullopt;
    case SelectionRead::Outcome::NoSelectedText:
        Log::plain(QStringLiteral("Could not get selected text: ") + read.errorValue);
        co_return std::nullopt;
    case SelectionRead::Outcome::Text:
        break;
    }
    co_return read.text.isEmpty() ? std::nullopt : std::optional(read.text);
}

QCoro::Task<std::optional<QString>> AccessibilityManager::getSelectedTextViaClipboard()
{
    beginClipboardUse();
    m_pasteboard.clearContents();
    noteOwnChange();
    const qint64 clearedCount = m_pasteboard.changeCount();
    QCoro::Task<bool> copying = m_keyboard.postKeystroke(KeyboardEvents::copyKey, KeyboardEvents::commandMask);
    co_await std::move(copying);
    QCoro::Task<> settling = m_scheduler.sleep(copySettleTime);
    co_await std::move(settling);
    if (m_pasteboard.changeCount() == clearedCount) {
        // Another application's copy reaches the clipboard asynchronously: give it a little longer.
        QCoro::Task<bool> waiting = m_pasteboard.waitForChange(clearedCount, copyWaitLimit - copySettleTime);
        co_await std::move(waiting);
    }
    const std::optional<QString> copied = m_pasteboard.string();
    noteOwnChange();
    scheduleRestore(copyRestoreDelay);
    if (!copied || copied->isEmpty()) {
        co_return std::nullopt;
    }
    co_return copied;
}

QCoro::Task<bool> AccessibilityManager::replaceSelectedText(QString text)
{
    beginClipboardUse();
    m_pasteboard.setString(text, true);
    noteOwnChange();
    QCoro::Task<bool> pasting = m_keyboard.postKeystroke(KeyboardEvents::pasteKey, KeyboardEvents::commandMask);
    const bool posted = co_await std::move(pasting);
    scheduleRestore(pasteRestoreDelay);
    co_return posted;
}

void AccessibilityManager::beginClipboardUse()
{
    const bool changedByOthers = m_pasteboard.changeCount() != m_ownChangeCount;
    if (!m_userContents || changedByOthers) {
        m_userContents = m_pasteboard.contents();
    }
}

void AccessibilityManager::noteOwnChange()
{
    m_ownChangeCount = m_pasteboard.changeCount();
}

void AccessibilityManager::scheduleRestore(double delay)
{
    ++m_pendingRestores;
    m_scheduler.postAfter(delay, [this] { restoreIfLast(); });
}

// Only the last pending restore acts, and only when the clipboard still holds what this program put there.
void AccessibilityManager::restoreIfLast()
{
    if (--m_pendingRestores > 0 || !m_userContents) {
        return;
    }
    if (m_pasteboard.changeCount() == m_ownChangeCount) {
        if (m_userContents->isEmpty()) {
            m_pasteboard.clearContents();
        } else {
            m_pasteboard.setContents(*m_userContents);
        }
        noteOwnChange();
    }
    m_userContents.reset();
}
