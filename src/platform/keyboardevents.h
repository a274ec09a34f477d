#pragma once

#include <QCoroTask>

// Synthetic keystrokes delivered to the focused application as if typed. Key codes and the modifier mask use the
// design's numbering; implementations translate them (8 is C, 9 is V, 0 is A; Command means the platform's
// shortcut modifier, Control on Linux).
class KeyboardEvents
{
public:
    static constexpr int copyKey = 8;
    static constexpr int pasteKey = 9;
    static constexpr int selectAllKey = 0;
    static constexpr quint64 commandMask = 0x100000;

    KeyboardEvents() = default;
    virtual ~KeyboardEvents();
    KeyboardEvents(const KeyboardEvents &) = delete;
    KeyboardEvents &operator=(const KeyboardEvents &) = delete;

    // Posts key down and key up of `keyCode` with exactly the modifiers of `flags`. Waits first (without blocking
    // the main thread, about 2 s at most) until the user has released the keys still held from a shortcut (the
    // shortcut's own key too: while it is down the shortcut's grab keeps the keyboard), and releases them
    // virtually when that time is up, so the target sees only this combination. False when the events could not
    // be posted.
    virtual QCoro::Task<bool> postKeystroke(int keyCode, quint64 flags) = 0;
};
