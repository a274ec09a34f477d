#include "platform/linux/x11/xtestkeyboardevents.h"

#include "platform/linux/x11/designkeys.h"
#include "platform/linux/x11/x11log.h"
#include "runtime/scheduler.h"

#include <QDateTime>

#include <X11/keysym.h>
#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace {

struct KeySymbolsDeleter
{
    void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
};
using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter>;

bool isLockKey(xcb_keysym_t keysym)
{
    return keysym == XK_Caps_Lock || keysym == XK_Num_Lock || keysym == XK_Scroll_Lock || keysym == XK_Shift_Lock;
}

// The first key code that produces `keysym`, or 0.
quint8 keycodeFor(xcb_key_symbols_t *symbols, xcb_keysym_t keysym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    if (!codes) {
        return 0;
    }
    const quint8 code = codes[0] == XCB_NO_SYMBOL ? 0 : codes[0];
    std::free(codes);
    return code;
}

bool usable(xcb_connection_t *connection)
{
    if (!connection || xcb_connection_has_error(connection)) {
        return false;
    }
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(connection, &xcb_test_id);
    return xtest && xtest->present;
}

// Posts the events in order and waits until the server has handled them. False when one was refused.
bool fakeKeys(xcb_connection_t *connection, const std::vector<std::pair<quint8, bool>> &events)
{
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(events.size());
    for (const auto &[keycode, press] : events) {
        cookies.push_back(xcb_test_fake_input_checked(connection, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode,
                                                      XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0));
    }
    bool ok = true;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
            qCWarning(lcX11) << "XTest refused a key event, X error" << error->error_code;
            std::free(error);
            ok = false;
        }
    }
    return ok && !xcb_connection_has_error(connection);
}

} // namespace

XTestKeyboardEvents::XTestKeyboardEvents(xcb_connection_t *connection, Scheduler &scheduler)
    : m_connection(connection)
    , m_scheduler(scheduler)
{}

XTestKeyboardEvents::~XTestKeyboardEvents() = default;

QCoro::Task<bool> XTestKeyboardEvents::postKeystroke(int keyCode, quint64 flags)
{
    if (!usable(m_connection)) {
        qCWarning(lcX11) << "No X connection with the XTest extension; keystroke not posted";
        co_return false;
    }
    const std::optional<quint32> keysym = DesignKeys::keysym(keyCode);
    if (!keysym) {
        qCWarning(lcX11) << "No X key for key code" << keyCode;
        co_return false;
    }

    const QDateTime start = m_scheduler.now();
    QList<quint8> held = heldKeys();
    while (!held.isEmpty() && start.msecsTo(m_scheduler.now()) < qint64(releaseWaitSeconds * 1000)) {
        QCoro::Task<> pause = m_scheduler.sleep(pollSeconds);
        co_await std::move(pause);
        held = heldKeys();
    }
    if (!held.isEmpty()) {
        qCInfo(lcX11) << "Keys still held after" << releaseWaitSeconds << "s; releasing" << held.size()
                      << "of them virtually";
        if (!releaseKeys(held)) {
            co_return false;
        }
    }

    KeySymbols symbols(xcb_key_symbols_alloc(m_connection));
    if (!symbols) {
        co_return false;
    }
    const quint8 key = keycodeFor(symbols.get(), *keysym);
    if (key == 0) {
        qCWarning(lcX11) << "The keyboard map has no key for key code" << keyCode;
        co_return false;
    }
    const quint16 modifiers = DesignKeys::x11Modifiers(flags);
    QList<quint8> modifierKeys;
    const std::pair<quint16, xcb_keysym_t> modifierSymbols[] = {
        {XCB_MOD_MASK_CONTROL, XK_Control_L}, {XCB_MOD_MASK_SHIFT, XK_Shift_L}, {XCB_MOD_MASK_1, XK_Alt_L}};
    for (const auto &[mask, modifierSymbol] : modifierSymbols) {
        if (modifiers & mask) {
            const quint8 code = keycodeFor(symbols.get(), modifierSymbol);
            if (code == 0) {
                qCWarning(lcX11) << "The keyboard map has no key for modifier" << Qt::hex << mask;
                co_return false;
            }
            modifierKeys.append(code);
        }
    }
    co_return sendKeys(modifierKeys, key);
}

QList<quint8> XTestKeyboardEvents::heldKeys() const
{
    QList<quint8> held;
    xcb_query_keymap_reply_t *keymap = xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr);
    if (!keymap) {
        return held;
    }
    KeySymbols symbols(xcb_key_symbols_alloc(m_connection));
    for (int code = 8; code < 256; ++code) {
        if (!(keymap->keys[code / 8] & (1 << (code % 8)))) {
            continue;
        }
        if (symbols && isLockKey(xcb_key_symbols_get_keysym(symbols.get(), xcb_keycode_t(code), 0))) {
            continue;
        }
        held.append(quint8(code));
    }
    std::free(keymap);
    return held;
}

bool XTestKeyboardEvents::sendKeys(const QList<quint8> &pressed, quint8 key) const
{
    std::vector<std::pair<quint8, bool>> events;
    for (quint8 modifier : pressed) {
        events.emplace_back(modifier, true);
    }
    events.emplace_back(key, true);
    events.emplace_back(key, false);
    for (auto it = pressed.crbegin(); it != pressed.crend(); ++it) {
        events.emplace_back(*it, false);
    }
    return fakeKeys(m_connection, events);
}

bool XTestKeyboardEvents::releaseKeys(const QList<quint8> &keys) const
{
    std::vector<std::pair<quint8, bool>> events;
    for (quint8 code : keys) {
        events.emplace_back(code, false);
    }
    return fakeKeys(m_connection, events);
}
