#include "xtestkeys.h"

#include <QGuiApplication>

#include <vector>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

XTestKeys::XTestKeys()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return;
    }
    m_connection = x11->connection();
    m_symbols = xcb_key_symbols_alloc(m_connection);
}

XTestKeys::~XTestKeys()
{
    if (m_symbols != nullptr) {
        xcb_key_symbols_free(m_symbols);
    }
}

void XTestKeys::chord(std::initializer_list<xcb_keysym_t> keysyms)
{
    std::vector<xcb_keycode_t> codes;
    for (const xcb_keysym_t keysym : keysyms) {
        xcb_keycode_t *found = xcb_key_symbols_get_keycode(m_symbols, keysym);
        if (found != nullptr) {
            codes.push_back(found[0]);
            free(found);
        }
    }
    for (const xcb_keycode_t code : codes) {
        xcb_test_fake_input(m_connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    for (auto code = codes.rbegin(); code != codes.rend(); ++code) {
        xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, *code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    xcb_flush(m_connection);
}
