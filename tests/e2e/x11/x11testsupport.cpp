#include "e2e/x11/x11testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QKeySequence>
#include <QProcess>
#include <QTimer>

#include <X11/keysym.h>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

xcb_connection_t *qtConnection()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

bool xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool waitUntil(const std::function<bool()> &condition, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds) {
            return false;
        }
        pump(10);
    }
    return true;
}

void pump(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool isKeyDown(unsigned keysym)
{
    xcb_connection_t *connection = qtConnection();
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    xcb_query_keymap_reply_t *keymap = xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr);
    bool down = false;
    for (xcb_keycode_t *code = codes; code && *code != XCB_NO_SYMBOL; ++code) {
        down = down || (keymap->keys[*code / 8] & (1 << (*code % 8)));
    }
    std::free(keymap);
    std::free(codes);
    xcb_key_symbols_free(symbols);
    return down;
}

bool isLockOn(unsigned modifierMask)
{
    xcb_connection_t *connection = qtConnection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_query_pointer_reply_t *pointer =
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr);
    const bool on = pointer && (pointer->mask & modifierMask);
    std::free(pointer);
    return on;
}

void resetKeyboard()
{
    xdotool({QStringLiteral("keyup"), QStringLiteral("shift"), QStringLiteral("ctrl"), QStringLiteral("alt"),
             QStringLiteral("i"), QStringLiteral("u"), QStringLiteral("k")});
    if (isLockOn(XCB_MOD_MASK_2)) {
        xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    }
    if (isLockOn(XCB_MOD_MASK_LOCK)) {
        xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock")});
    }
}

TargetLineEdit::TargetLineEdit(const QString &text)
    : QLineEdit(text)
{
    setWindowTitle(QStringLiteral("lumora-x11-test-target"));
    resize(400, 60);
    move(100, 100);
}

bool TargetLineEdit::showFocused()
{
    show();
    activateWindow();
    setFocus();
    return waitUntil([this] { return hasFocus() && isActiveWindow(); });
}

void TargetLineEdit::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
        break;
    default:
        presses.append({event->key(), event->modifiers()});
    }
    QLineEdit::keyPressEvent(event);
}

void PrintTo(const TargetLineEdit::Press &press, std::ostream *out)
{
    *out << QKeySequence(press.modifiers | Qt::Key(press.key)).toString().toStdString();
}
