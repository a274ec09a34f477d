#pragma once

#include <QRect>
#include <QString>

#include <optional>

enum class OverlayStatus
{
    Idle,
    Processing,
    Success,
    Error,
};

// The small floating status panel. It never takes focus, lets clicks through, and sits above other windows.
class OverlayPanel
{
public:
    OverlayPanel() = default;
    virtual ~OverlayPanel();
    OverlayPanel(const OverlayPanel &) = delete;
    OverlayPanel &operator=(const OverlayPanel &) = delete;

    // The visible area (without panels and docks) of the screen that holds the active window; none without a screen.
    virtual std::optional<QRect> activeScreenArea() = 0;
    // Opens a new panel at `frame` (screen coordinates, y downwards) showing `status` and `message`, fading in
    // over 0.2 s. An open panel is closed first.
    virtual void open(QRect frame, OverlayStatus status, const QString &message) = 0;
    // Changes what the open panel shows; it keeps its place.
    virtual void show(OverlayStatus status, const QString &message) = 0;
    virtual void close() = 0;
};
