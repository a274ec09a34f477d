#include "fakes/fakedesktop.h"

QCoro::Task<SelectionRead> FakeAccessibility::readSelectedText()
{
    co_return SelectionRead(selection);
}

void FakePasteboard::externalWrite(PasteboardContents contents)
{
    m_contents = std::move(contents);
    ++m_changeCount;
}

QCoro::Task<bool> FakePasteboard::waitForChange(qint64 count, double)
{
    co_return m_changeCount != count;
}

std::optional<QString> FakePasteboard::string()
{
    for (const PasteboardItem &item : m_contents) {
        for (const auto &[type, bytes] : item.representations) {
            if (type == plainTextType) {
                return QString::fromUtf8(bytes);
            }
        }
    }
    return std::nullopt;
}

void FakePasteboard::clearContents()
{
    m_contents.clear();
    ++m_changeCount;
}

void FakePasteboard::setString(const QString &text, bool transient)
{
    m_contents = {PasteboardItem{{{plainTextType, text.toUtf8()}}}};
    lastWriteWasTransient = transient;
    ++m_changeCount;
}

void FakePasteboard::setContents(const PasteboardContents &contents)
{
    m_contents = contents;
    lastWriteWasTransient = false;
    ++m_changeCount;
}

QCoro::Task<bool> FakeKeyboardEvents::postKeystroke(int keyCode, quint64)
{
    if (!canPost) {
        co_return false;
    }
    posted.append(keyCode);
    if (onKeystroke) {
        onKeystroke(keyCode);
    }
    co_return true;
}

QCoro::Task<int> FakeAlerts::runModal(AlertSpec alert)
{
    shown.append(alert);
    co_return int(answer);
}

bool FakeWorkspace::openUrl(const QUrl &url)
{
    openedUrls.append(url);
    return true;
}

bool FakeWorkspace::openSystemSettings(SettingsPane pane)
{
    openedPanes.append(pane);
    return true;
}

QString overlayStatusName(OverlayStatus status)
{
    switch (status) {
    case OverlayStatus::Idle:
        return QStringLiteral("Idle");
    case OverlayStatus::Processing:
        return QStringLiteral("Processing");
    case OverlayStatus::Success:
        return QStringLiteral("Success");
    case OverlayStatus::Error:
        return QStringLiteral("Error");
    }
    return {};
}

void FakeOverlayPanel::open(QRect frame, OverlayStatus status, const QString &message)
{
    lastFrame = frame;
    events.append(QStringLiteral("open %1 %2").arg(overlayStatusName(status), message));
}

void FakeOverlayPanel::show(OverlayStatus status, const QString &message)
{
    events.append(QStringLiteral("show %1 %2").arg(overlayStatusName(status), message));
}

void FakeOverlayPanel::close()
{
    events.append(QStringLiteral("close"));
}

bool FakeGlobalShortcuts::declare(const QString &name, KeyCombination defaultCombination,
                                  std::function<void()> onKeyDown)
{
    actions.insert(name, std::move(onKeyDown));
    combinations.insert(name, defaultCombination);
    return true;
}

std::optional<KeyCombination> FakeGlobalShortcuts::combination(const QString &name)
{
    const auto found = combinations.constFind(name);
    return found == combinations.constEnd() ? std::nullopt : std::optional(*found);
}

bool FakeGlobalShortcuts::setCombination(const QString &name, std::optional<KeyCombination> combination)
{
    if (combination) {
        combinations.insert(name, *combination);
    } else {
        combinations.remove(name);
    }
    return true;
}
