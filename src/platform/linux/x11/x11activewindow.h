#pragma once

#include <QPoint>

#include <optional>

struct xcb_connection_t;

// The centre of the window the user works in, in the root window's (native) pixels: the window manager's active
// window (_NET_ACTIVE_WINDOW) when it announces one, otherwise the window holding the keyboard focus. None without
// a connection or when no window is active or focused.
std::optional<QPoint> activeWindowCentre(xcb_connection_t *connection);
