#pragma once

#include <QUrl>

// Opening URLs and system settings panes.
class Workspace
{
public:
    enum class SettingsPane
    {
        Accessibility,
        InputMonitoring,
        Microphone,
    };

    Workspace() = default;
    virtual ~Workspace();
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    virtual bool openUrl(const QUrl &url) = 0;
    // False when this desktop has no settings pane for it.
    virtual bool openSystemSettings(SettingsPane pane) = 0;
};
