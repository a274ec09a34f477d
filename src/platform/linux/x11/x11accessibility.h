#pragma once

#include "platform/accessibility.h"

#include <QProcessEnvironment>

struct xcb_connection_t;

// Selection access on X11: trusted whenever an X display with the XTest extension is reachable (X11 has no
// permission to grant), and the selection is the PRIMARY selection, which holds what is highlighted in the
// focused application.
//
// Reading asks the PRIMARY owner for UTF8_STRING, then text/plain;charset=utf-8, then STRING (Latin-1), and waits
// for its answer through Qt's event loop (a native event filter), so the main thread keeps running. Large answers
// sent in increments (INCR) are collected. The whole read gives up after `selectionWaitSeconds`.
//
// Error values: "no X11 display", "no selection owner" (NoFocusedElement); "timed out", "conversion refused" (the
// owner has no text form), "no text" (the answer was not readable text) (NoSelectedText). An owner that answers
// with empty text gives Text with an empty string.
class X11Accessibility : public Accessibility
{
public:
    static constexpr double defaultSelectionWaitSeconds = 1.0;

    // `connection` is the application's own X connection (the one whose events Qt dispatches); null when the
    // program does not run on X11.
    explicit X11Accessibility(xcb_connection_t *connection, double selectionWaitSeconds = defaultSelectionWaitSeconds);
    ~X11Accessibility() override;

    bool isProcessTrusted() override;
    bool isProcessTrustedWithPrompt() override;
    QString unsupportedReason() override;
    QCoro::Task<SelectionRead> readSelectedText() override;

    // The sentence unsupportedReason() gives for a session with `environment` (DISPLAY, WAYLAND_DISPLAY,
    // XDG_SESSION_TYPE) and the given X access; empty when trust is possible.
    static QString unsupportedReasonFor(const QProcessEnvironment &environment, bool hasX11Connection, bool hasXTest);

private:
    bool hasXTest() const;

    xcb_connection_t *m_connection;
    double m_selectionWaitSeconds;
};
