#include "platform/linux/x11/x11activewindow.h"

#include "platform/linux/x11/x11atoms.h"

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_window_t rootWindow(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// The window the window manager calls active; XCB_NONE when there is no such window manager or no active window.
xcb_window_t announcedActiveWindow(xcb_connection_t *connection, xcb_window_t root)
{
    const xcb_atom_t property = internAtom(connection, "_NET_ACTIVE_WINDOW");
    if (property == XCB_ATOM_NONE) {
        return XCB_NONE;
    }
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t window = XCB_NONE;
    if (reply && reply->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(reply) >= int(sizeof(xcb_window_t))) {
        window = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply));
    }
    std::free(reply);
    return window;
}

xcb_window_t focusedWindow(xcb_connection_t *connection)
{
    xcb_get_input_focus_reply_t *reply =
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const xcb_window_t window = reply ? reply->focus : XCB_NONE;
    std::free(reply);
    return window == XCB_INPUT_FOCUS_POINTER_ROOT ? XCB_NONE : window;
}

std::optional<QPoint> centreInRoot(xcb_connection_t *connection, xcb_window_t window, xcb_window_t root)
{
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    if (!geometry) {
        return std::nullopt; // the window is gone
    }
    const auto centreX = qint16(geometry->width / 2);
    const auto centreY = qint16(geometry->height / 2);
    std::free(geometry);
    xcb_translate_coordinates_reply_t *translated = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, root, centreX, centreY), nullptr);
    if (!translated) {
        return std::nullopt;
    }
    const QPoint centre(translated->dst_x, translated->dst_y);
    std::free(translated);
    return centre;
}

} // namespace

std::optional<QPoint> activeWindowCentre(xcb_connection_t *connection)
{
    if (!connection || xcb_connection_has_error(connection)) {
        return std::nullopt;
    }
    const xcb_window_t root = rootWindow(connection);
    xcb_window_t window = announcedActiveWindow(connection, root);
    if (window == XCB_NONE) {
        window = focusedWindow(connection);
    }
    if (window == XCB_NONE || window == root) {
        return std::nullopt;
    }
    return centreInRoot(connection, window, root);
}
