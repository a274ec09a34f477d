#pragma once

#include "platform/overlaypanel.h"

class Scheduler;

// The floating status panel of the improve flow: progress, then a green or red result that closes itself. Every
// request is queued on the main loop and carried out in the order made; a scheduled close is never cancelled and
// closes whatever panel is open when it runs.
class OverlayWindowController
{
public:
    static constexpr double successHideDelay = 2.0;
    static constexpr double errorHideDelay = 3.0;
    static constexpr int panelWidth = 300;
    static constexpr int panelHeight = 60;
    static constexpr int panelTopMargin = 20;

    OverlayWindowController(OverlayPanel &panel, Scheduler &scheduler);
    OverlayWindowController(const OverlayWindowController &) = delete;
    OverlayWindowController &operator=(const OverlayWindowController &) = delete;

    void showProcessing(QString message);
    void showSuccess(QString message);
    void showError(QString message);
    void hide();

    OverlayStatus status() const { return m_status; }
    const QString &message() const { return m_message; }
    bool isOpen() const { return m_isOpen; }

    // The panel's place: centred, its top edge 20 points below the top of `area`.
    static QRect panelFrame(const QRect &area);

private:
    void open(OverlayStatus status, const QString &message);
    void showResult(OverlayStatus status, const QString &message, double hideDelay);
    void close();

    OverlayPanel &m_panel;
    Scheduler &m_scheduler;
    OverlayStatus m_status = OverlayStatus::Idle;
    QString m_message;
    bool m_isOpen = false;
};
