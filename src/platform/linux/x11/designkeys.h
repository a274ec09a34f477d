#pragma once

#include <QtGlobal>

#include <optional>

// The design's key numbering (the ANSI virtual key codes of the original platform) and modifier mask, translated
// for X11. Covers the letters, the digits, the punctuation keys of the main block, Return, Tab, Space, Backspace,
// Escape, the arrows, Home/End/Page Up/Page Down, forward Delete, F1 to F12 and a few keypad keys (Enter, decimal
// point, + - * /); other codes have no translation.
class DesignKeys
{
public:
    static constexpr quint64 commandMask = 0x100000;
    static constexpr quint64 shiftMask = 0x20000;
    static constexpr quint64 controlMask = 0x40000;
    static constexpr quint64 optionMask = 0x80000;

    // The X keysym of the key with the design's `keyCode` (the unshifted symbol, so 8 is `c`); none when unknown.
    static std::optional<quint32> keysym(int keyCode);
    // The X core modifier mask for the design's mask: Command and Control give Control, Shift gives Shift, Option
    // gives Mod1 (Alt). Bits outside these four are ignored.
    static quint16 x11Modifiers(quint64 designModifiers);
};
