#pragma once

#include "platform/keyboardevents.h"

#include <QList>

struct xcb_connection_t;
class Scheduler;

// Synthetic keystrokes through the XTest extension, delivered to whichever window has the X input focus.
//
// Before posting it waits, polling the server's key state every `pollSeconds` through the scheduler, until no key is
// held any more (lock keys aside): modifiers still held from the shortcut would turn Ctrl+C into Ctrl+Shift+C, and
// the shortcut's own key keeps the keyboard grabbed by the shortcut's owner until it is released. After
// `releaseWaitSeconds` it releases the keys still down virtually. Then it presses the translated modifiers, presses
// and releases the key, and releases the modifiers again.
class XTestKeyboardEvents : public KeyboardEvents
{
public:
    static constexpr double pollSeconds = 0.025;
    static constexpr double releaseWaitSeconds = 2.0;

    // `connection` is an open X connection (the application's own); null makes every post fail.
    XTestKeyboardEvents(xcb_connection_t *connection, Scheduler &scheduler);
    ~XTestKeyboardEvents() override;

    QCoro::Task<bool> postKeystroke(int keyCode, quint64 flags) override;

private:
    // Key codes of the keys that are down now, lock keys excluded; empty also when the state cannot be read.
    QList<quint8> heldKeys() const;
    bool sendKeys(const QList<quint8> &pressed, quint8 key) const;
    bool releaseKeys(const QList<quint8> &keys) const;

    xcb_connection_t *m_connection;
    Scheduler &m_scheduler;
};
