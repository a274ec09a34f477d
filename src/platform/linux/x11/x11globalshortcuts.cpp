#include "platform/linux/x11/x11globalshortcuts.h"

#include "platform/linux/x11/designkeys.h"
#include "platform/linux/x11/x11log.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

const QString settingsGroup = QStringLiteral("KeyboardShortcuts");

// The lock modifiers a grab must not depend on: none, CapsLock, NumLock, both.
constexpr quint16 lockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
// The modifiers that distinguish combinations when matching a key press (everything but the locks).
constexpr quint16 significantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;
// The halves of an auto-repeat pair carry the same time stamp, give or take the server's clock tick; a person
// cannot release and press a key again within it.
constexpr quint32 repeatPairToleranceMs = 1;

xcb_window_t rootWindow(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// The event number of the XKB extension's events; 0 without the extension.
quint8 xkbEventBase(xcb_connection_t *connection)
{
    if (!connection || xcb_connection_has_error(connection)) {
        return 0;
    }
    constexpr char name[] = "XKEYBOARD";
    xcb_query_extension_reply_t *reply =
        xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof(name) - 1, name), nullptr);
    const quint8 base = reply && reply->present ? reply->first_event : 0;
    std::free(reply);
    return base;
}

// Whether `event` says that keys now produce other symbols: a core MappingNotify for the keyboard (xmodmap), or
// XKB's new-keyboard or map notification (setxkbmap, a layout switch).
bool changesKeyboardMap(const xcb_generic_event_t *event, quint8 xkbBase)
{
    const quint8 type = event->response_type & ~0x80;
    if (type == XCB_MAPPING_NOTIFY) {
        return reinterpret_cast<const xcb_mapping_notify_event_t *>(event)->request == XCB_MAPPING_KEYBOARD;
    }
    constexpr quint8 xkbNewKeyboardNotify = 0;
    constexpr quint8 xkbMapNotify = 1;
    const quint8 xkbType = event->pad0; // XKB keeps its event's kind in the core header's second byte
    return xkbBase != 0 && type == xkbBase && (xkbType == xkbNewKeyboardNotify || xkbType == xkbMapNotify);
}

QString encode(KeyCombination combination)
{
    return QStringLiteral("%1:0x%2").arg(combination.keyCode).arg(combination.modifiers, 0, 16);
}

std::optional<KeyCombination> decode(const QString &text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return std::nullopt;
    }
    bool keyOk = false;
    bool modifiersOk = false;
    KeyCombination combination;
    combination.keyCode = text.left(colon).toInt(&keyOk);
    combination.modifiers = text.mid(colon + 1).toULongLong(&modifiersOk, 0);
    if (!keyOk || !modifiersOk) {
        return std::nullopt;
    }
    return combination;
}

} // namespace

X11GlobalShortcuts::X11GlobalShortcuts(xcb_connection_t *connection, std::unique_ptr<QSettings> settings)
    : m_connection(connection)
    , m_xkbEventBase(xkbEventBase(connection))
    , m_settings(settings ? std::move(settings)
                          : std::make_unique<QSettings>(QStringLiteral("Wordloom"), QStringLiteral("Lumora Prompt")))
{
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

X11GlobalShortcuts::~X11GlobalShortcuts()
{
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    for (Shortcut &shortcut : m_shortcuts) {
        unregister(shortcut);
    }
}

bool X11GlobalShortcuts::declare(const QString &name, KeyCombination defaultCombination,
                                 std::function<void()> onKeyDown)
{
    Shortcut *shortcut = find(name);
    if (shortcut) {
        unregister(*shortcut);
    } else {
        m_shortcuts.append(Shortcut{.name = name});
        shortcut = &m_shortcuts.last();
    }
    shortcut->defaultCombination = defaultCombination;
    shortcut->onKeyDown = std::move(onKeyDown);
    return registerCombination(*shortcut, combination(name));
}

std::optional<KeyCombination> X11GlobalShortcuts::combination(const QString &name)
{
    const QString key = settingsGroup + QLatin1Char('/') + name;
    if (m_settings->contains(key)) {
        const QString stored = m_settings->value(key).toString();
        if (stored.isEmpty()) {
            return std::nullopt; // removed by the user
        }
        if (const std::optional<KeyCombination> combination = decode(stored)) {
            return combination;
        }
        qCWarning(lcX11) << "Ignoring an unreadable combination stored for shortcut" << name;
    }
    if (const Shortcut *shortcut = find(name)) {
        return shortcut->defaultCombination;
    }
    return std::nullopt;
}

bool X11GlobalShortcuts::setCombination(const QString &name, std::optional<KeyCombination> combination)
{
    m_settings->setValue(settingsGroup + QLatin1Char('/') + name, combination ? encode(*combination) : QString());
    m_settings->sync();
    Shortcut *shortcut = find(name);
    if (!shortcut) {
        return true; // kept for when the name is declared
    }
    unregister(*shortcut);
    return registerCombination(*shortcut, combination);
}

bool X11GlobalShortcuts::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if (changesKeyboardMap(event, m_xkbEventBase)) {
        scheduleRegrab();
        return false; // Qt updates its own keyboard map from the same event
    }
    const quint8 type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return false;
    }
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    const Grab pressed{key->detail, quint16(key->state & significantModifiers)};
    for (Shortcut &shortcut : m_shortcuts) {
        if (!shortcut.grab) {
            continue;
        }
        if (type == XCB_KEY_PRESS && *shortcut.grab == pressed) {
            // A held key repeats its presses; without detectable auto-repeat each repeat comes as a release and a
            // press with the same time stamp. Asking the server whether the key is still down cannot tell them
            // apart: a repeat pair still queued when the key is really released would look like a new press.
            const bool repeat =
                shortcut.down || (shortcut.releasedAt && key->time - *shortcut.releasedAt <= repeatPairToleranceMs);
            if (!repeat && shortcut.onKeyDown) {
                QMetaObject::invokeMethod(&m_context, shortcut.onKeyDown, Qt::QueuedConnection);
            }
            shortcut.down = true;
            shortcut.releasedAt.reset();
            return true;
        }
        if (type == XCB_KEY_RELEASE && shortcut.down && shortcut.grab->keycode == key->detail) {
            shortcut.down = false;
            shortcut.releasedAt = key->time;
            return true;
        }
    }
    return false;
}

void X11GlobalShortcuts::scheduleRegrab()
{
    if (m_regrabPending) {
        return; // one change arrives as several events
    }
    m_regrabPending = true;
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_regrabPending = false;
            for (Shortcut &shortcut : m_shortcuts) {
                // Switching between keyboards announces a new map too; a key that stayed put keeps its grab (and
                // a held shortcut stays held).
                // A key that left the map is grabbed again when a later map brings it back.
                const std::optional<KeyCombination> wanted = combination(shortcut.name);
                const std::optional<quint32> keysym = wanted ? DesignKeys::keysym(wanted->keyCode) : std::nullopt;
                const quint8 keycode = keysym ? keycodeFor(*keysym) : 0;
                if ((shortcut.grab && keycode != shortcut.grab->keycode) || (shortcut.awaitingKey && keycode != 0)) {
                    unregister(shortcut);
                    registerCombination(shortcut, wanted);
                    shortcut.awaitingKey = keycode == 0;
                }
            }
        },
        Qt::QueuedConnection);
}

X11GlobalShortcuts::Shortcut *X11GlobalShortcuts::find(const QString &name)
{
    for (Shortcut &shortcut : m_shortcuts) {
        if (shortcut.name == name) {
            return &shortcut;
        }
    }
    return nullptr;
}

bool X11GlobalShortcuts::registerCombination(Shortcut &shortcut, std::optional<KeyCombination> combination)
{
    shortcut.awaitingKey = false;
    if (!combination) {
        return true; // the user removed it: nothing to register
    }
    if (!m_connection || xcb_connection_has_error(m_connection)) {
        qCWarning(lcX11) << "No X connection; shortcut" << shortcut.name << "not registered";
        return false;
    }
    const std::optional<quint32> keysym = DesignKeys::keysym(combination->keyCode);
    if (!keysym) {
        qCWarning(lcX11) << "No X key for key code" << combination->keyCode << "of shortcut" << shortcut.name;
        return false;
    }
    const Grab grab{keycodeFor(*keysym), DesignKeys::x11Modifiers(combination->modifiers)};
    if (grab.keycode == 0) {
        qCWarning(lcX11) << "The keyboard map has no key for shortcut" << shortcut.name;
        return false;
    }
    for (const Shortcut &other : m_shortcuts) {
        if (&other != &shortcut && other.grab == grab) {
            qCWarning(lcX11) << "Shortcut" << shortcut.name << "has the combination of" << other.name;
            return false;
        }
    }

    const xcb_window_t root = rootWindow(m_connection);
    xcb_void_cookie_t cookies[std::size(lockVariants)];
    for (std::size_t i = 0; i < std::size(lockVariants); ++i) {
        cookies[i] = xcb_grab_key_checked(m_connection, 1, root, grab.modifiers | lockVariants[i], grab.keycode,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    bool refused = false;
    for (const xcb_void_cookie_t &cookie : cookies) {
        // Each check waits for the server, so the errors come here and not to Qt's error handler.
        if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        qCWarning(lcX11) << "Another program holds the combination of shortcut" << shortcut.name;
        for (quint16 variant : lockVariants) {
            xcb_ungrab_key(m_connection, grab.keycode, root, grab.modifiers | variant);
        }
        xcb_flush(m_connection);
        return false;
    }
    shortcut.grab = grab;
    shortcut.down = false;
    return true;
}

quint8 X11GlobalShortcuts::keycodeFor(quint32 keysym) const
{
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
    xcb_keycode_t *codes = symbols ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
    const quint8 keycode = codes && codes[0] != XCB_NO_SYMBOL ? codes[0] : 0;
    std::free(codes);
    if (symbols) {
        xcb_key_symbols_free(symbols);
    }
    return keycode;
}

void X11GlobalShortcuts::unregister(Shortcut &shortcut)
{
    if (!shortcut.grab) {
        return;
    }
    if (m_connection && !xcb_connection_has_error(m_connection)) {
        const xcb_window_t root = rootWindow(m_connection);
        for (quint16 variant : lockVariants) {
            xcb_ungrab_key(m_connection, shortcut.grab->keycode, root, shortcut.grab->modifiers | variant);
        }
        xcb_flush(m_connection);
    }
    shortcut.grab.reset();
    shortcut.down = false;
    shortcut.releasedAt.reset();
}
