#include "app/overlaywindowcontroller.h"

#include "runtime/scheduler.h"

OverlayWindowController::OverlayWindowController(OverlayPanel &panel, Scheduler &scheduler)
    : m_panel(panel)
    , m_scheduler(scheduler)
{}

void OverlayWindowController::showProcessing(QString message)
{
    m_scheduler.post([this, message] { open(OverlayStatus::Processing, message); });
}

void OverlayWindowController::showSuccess(QString message)
{
    m_scheduler.post([this, message] { showResult(OverlayStatus::Success, message, successHideDelay); });
}

void OverlayWindowController::showError(QString message)
{
    m_scheduler.post([this, message] { showResult(OverlayStatus::Error, message, errorHideDelay); });
}

void OverlayWindowController::hide()
{
    m_scheduler.post([this] { close(); });
}

QRect OverlayWindowController::panelFrame(const QRect &area)
{
    return QRect(area.x() + (area.width() - panelWidth) / 2, area.y() + panelTopMargin, panelWidth, panelHeight);
}

void OverlayWindowController::open(OverlayStatus status, const QString &message)
{
    if (m_isOpen) {
        m_panel.close();
        m_isOpen = false;
    }
    m_status = status;
    m_message = message;
    const std::optional<QRect> area = m_panel.activeScreenArea();
    if (!area) {
        return;
    }
    m_panel.open(panelFrame(*area), status, message);
    m_isOpen = true;
}

void OverlayWindowController::showResult(OverlayStatus status, const QString &message, double hideDelay)
{
    if (m_isOpen) {
        m_status = status;
        m_message = message;
        m_panel.show(status, message);
    } else {
        open(status, message);
    }
    m_scheduler.postAfter(hideDelay, [this] { close(); });
}

void OverlayWindowController::close()
{
    if (m_isOpen) {
        m_panel.close();
        m_isOpen = false;
    }
    m_status = OverlayStatus::Idle;
}
