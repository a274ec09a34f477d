#pragma once

#include "platform/overlaypanel.h"

#include <QPoint>

#include <functional>
#include <memory>
#include <optional>

class QQuickView;

// The status panel as a QML window that never takes focus and lets clicks through: a tool window without frame,
// above other windows, of the X11 notification type, on a transparent background. Needs a QGuiApplication. The
// window is made once and shown again for each run: a new one each time costs a QML engine and a graphics context.
class QmlOverlayPanel : public OverlayPanel
{
public:
    // Where the user's active window is, in native screen pixels; none when unknown.
    using WindowLocator = std::function<std::optional<QPoint>()>;

    // Without a locator (or when it knows none), the panel uses the screen of this program's focused window, or
    // else the primary screen.
    explicit QmlOverlayPanel(WindowLocator activeWindowCentre = {});
    ~QmlOverlayPanel() override;

    std::optional<QRect> activeScreenArea() override;
    void open(QRect frame, OverlayStatus status, const QString &message) override;
    void show(OverlayStatus status, const QString &message) override;
    void close() override;

    // The open panel's window; null when none is open. For screenshots and tests.
    QQuickView *window() const;

private:
    // The window, made on first use; none when the panel could not be loaded.
    QQuickView *view();

    WindowLocator m_activeWindowCentre;
    std::unique_ptr<QQuickView> m_view;
    bool m_isOpen = false;
};
