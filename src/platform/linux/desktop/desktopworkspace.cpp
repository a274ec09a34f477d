#include "platform/linux/desktop/desktopworkspace.h"

#include <QDesktopServices>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>

namespace {

Q_LOGGING_CATEGORY(lcWorkspace, "lumora.platform.workspace")

const QString gnomeSettings = QStringLiteral("gnome-control-center");

// The GNOME Settings panel for each pane. X11 grants reading the selection and posting keys to every client, so
// the nearest place is the privacy panel; the microphone is chosen in the sound panel.
QString gnomePanel(Workspace::SettingsPane pane)
{
    switch (pane) {
    case Workspace::SettingsPane::Accessibility:
    case Workspace::SettingsPane::InputMonitoring:
        return QStringLiteral("privacy");
    case Workspace::SettingsPane::Microphone:
        return QStringLiteral("sound");
    }
    return {};
}

} // namespace

DesktopWorkspace::DesktopWorkspace(UrlOpener opener, Launcher launcher, ProgramFinder finder)
    : m_opener(std::move(opener))
    , m_launcher(std::move(launcher))
    , m_finder(std::move(finder))
{}

DesktopWorkspace::~DesktopWorkspace() = default;

DesktopWorkspace::UrlOpener DesktopWorkspace::systemOpener()
{
    return [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

DesktopWorkspace::Launcher DesktopWorkspace::detachedLauncher()
{
    return [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
}

DesktopWorkspace::ProgramFinder DesktopWorkspace::pathFinder()
{
    return [](const QString &name) { return QStandardPaths::findExecutable(name); };
}

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return m_opener(url);
}

bool DesktopWorkspace::openSystemSettings(SettingsPane pane)
{
    const QString program = m_finder(gnomeSettings);
    const QString panel = gnomePanel(pane);
    if (program.isEmpty() || panel.isEmpty()) {
        qCInfo(lcWorkspace) << "no settings program for this desktop";
        return false;
    }
    return m_launcher(program, {panel});
}
