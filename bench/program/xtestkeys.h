#pragma once

#include <initializer_list>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

// Synthetic key chords through XTest on this process's own X connection: no helper process start in the path.
class XTestKeys
{
public:
    XTestKeys();
    ~XTestKeys();
    XTestKeys(const XTestKeys &) = delete;
    XTestKeys &operator=(const XTestKeys &) = delete;

    bool usable() const { return m_connection != nullptr && m_symbols != nullptr; }

    // Presses the keys of `keysyms` in order, releases them in reverse order and flushes.
    void chord(std::initializer_list<xcb_keysym_t> keysyms);

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_key_symbols_t *m_symbols = nullptr;
};
