#pragma once

#include <QString>

#include <functional>
#include <optional>

// A key combination in the design's numbering: a virtual key code (34 is I, 32 is U) and a modifier mask
// (Command 0x100000, Shift 0x20000, Option 0x80000, Control 0x40000). On Linux, Command means Control.
struct KeyCombination
{
    int keyCode = 0;
    quint64 modifiers = 0;

    bool operator==(const KeyCombination &) const = default;
};

// Named system-wide shortcuts. The user's own combination for a name is kept in the user defaults and replaces
// the default until cleared.
class GlobalShortcuts
{
public:
    GlobalShortcuts() = default;
    virtual ~GlobalShortcuts();
    GlobalShortcuts(const GlobalShortcuts &) = delete;
    GlobalShortcuts &operator=(const GlobalShortcuts &) = delete;

    // Declares `name` with its default and runs `onKeyDown` on the main thread each time its combination is
    // pressed anywhere on the desktop. False when the combination could not be registered (for example, another
    // program holds it); the declaration stays, so a later change of combination can still succeed.
    virtual bool declare(const QString &name, KeyCombination defaultCombination, std::function<void()> onKeyDown) = 0;
    // The combination in effect for `name`; none when the user removed it.
    virtual std::optional<KeyCombination> combination(const QString &name) = 0;
    // Stores the user's combination (none removes it) and registers it in place of the old one. False when the
    // new combination could not be registered.
    virtual bool setCombination(const QString &name, std::optional<KeyCombination> combination) = 0;
};
