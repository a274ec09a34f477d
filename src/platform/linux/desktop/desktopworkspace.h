#pragma once

#include "platform/workspace.h"

#include <QStringList>

#include <functional>

// URLs through the desktop's default handlers; settings panes through the desktop's settings program when one
// is installed (GNOME Settings), else none.
class DesktopWorkspace : public Workspace
{
public:
    // Opens a URL outside the program; false when it could not.
    using UrlOpener = std::function<bool(const QUrl &)>;
    // Starts a program that outlives this one; false when it could not be started.
    using Launcher = std::function<bool(const QString &program, const QStringList &arguments)>;
    // The path of an executable found in PATH; empty when there is none.
    using ProgramFinder = std::function<QString(const QString &name)>;

    DesktopWorkspace(UrlOpener opener, Launcher launcher, ProgramFinder finder);
    ~DesktopWorkspace() override;

    // The real ones: QDesktopServices::openUrl (needs a QGuiApplication), a detached QProcess, and
    // QStandardPaths::findExecutable.
    static UrlOpener systemOpener();
    static Launcher detachedLauncher();
    static ProgramFinder pathFinder();

    bool openUrl(const QUrl &url) override;
    bool openSystemSettings(SettingsPane pane) override;

private:
    UrlOpener m_opener;
    Launcher m_launcher;
    ProgramFinder m_finder;
};
