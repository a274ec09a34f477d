#pragma once

#include "platform/accessibility.h"
#include "platform/alerts.h"
#include "platform/globalshortcuts.h"
#include "platform/keyboardevents.h"
#include "platform/overlaypanel.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

// Fakes of the desktop seams the improve flow works through. Each records what it was asked to do.

class FakeAccessibility : public Accessibility
{
public:
    bool trusted = true;
    QString unsupported;
    SelectionRead selection{SelectionRead::Outcome::NoFocusedElement, {}, QStringLiteral("no selection owner")};
    int promptCount = 0;

    bool isProcessTrusted() override { return trusted; }
    bool isProcessTrustedWithPrompt() override
    {
        ++promptCount;
        return trusted;
    }
    QString unsupportedReason() override { return unsupported; }
    QCoro::Task<SelectionRead> readSelectedText() override;
};

class FakePasteboard : public Pasteboard
{
public:
    // Another application puts `contents` on the clipboard.
    void externalWrite(PasteboardContents contents);

    qint64 changeCount() override { return m_changeCount; }
    QCoro::Task<bool> waitForChange(qint64 count, double timeoutSeconds) override;
    std::optional<QString> string() override;
    PasteboardContents contents() override { return m_contents; }
    void clearContents() override;
    void setString(const QString &text, bool transient) override;
    void setContents(const PasteboardContents &contents) override;

    bool lastWriteWasTransient = false;

private:
    PasteboardContents m_contents;
    qint64 m_changeCount = 0;
};

// Records keystrokes; `onKeystroke` plays the focused application (for example, copying its selection).
class FakeKeyboardEvents : public KeyboardEvents
{
public:
    QList<int> posted;
    bool canPost = true;
    std::function<void(int keyCode)> onKeystroke;

    QCoro::Task<bool> postKeystroke(int keyCode, quint64 flags) override;
};

class FakeAlerts : public Alerts
{
public:
    QList<AlertSpec> shown;
    int answer = 1;

    QCoro::Task<int> runModal(AlertSpec alert) override;
};

class FakeWorkspace : public Workspace
{
public:
    QList<SettingsPane> openedPanes;
    QList<QUrl> openedUrls;

    bool openUrl(const QUrl &url) override;
    bool openSystemSettings(SettingsPane pane) override;
};

class FakeOverlayPanel : public OverlayPanel
{
public:
    std::optional<QRect> screenArea = QRect(0, 0, 1280, 800);
    QStringList events; // "open Processing Improving prompt...", "show Success Done!", "close"
    QRect lastFrame;

    std::optional<QRect> activeScreenArea() override { return screenArea; }
    void open(QRect frame, OverlayStatus status, const QString &message) override;
    void show(OverlayStatus status, const QString &message) override;
    void close() override;
};

class FakeGlobalShortcuts : public GlobalShortcuts
{
public:
    QHash<QString, std::function<void()>> actions;
    QHash<QString, KeyCombination> combinations;

    bool declare(const QString &name, KeyCombination defaultCombination, std::function<void()> onKeyDown) override;
    std::optional<KeyCombination> combination(const QString &name) override;
    bool setCombination(const QString &name, std::optional<KeyCombination> combination) override;
    void press(const QString &name) { actions.value(name)(); }
};

QString overlayStatusName(OverlayStatus status);
