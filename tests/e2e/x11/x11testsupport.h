#pragma once

#include <QLineEdit>
#include <QList>
#include <QStringList>

#include <functional>
#include <ostream>

struct xcb_connection_t;

// Qt's own X connection.
xcb_connection_t *qtConnection();
// Runs xdotool with `arguments` and waits for it; false when it failed.
bool xdotool(const QStringList &arguments);
// Spins the event loop until `condition` holds or `milliseconds` pass; returns the condition.
bool waitUntil(const std::function<bool()> &condition, int milliseconds = 3000);
// Spins the event loop for `milliseconds`.
void pump(int milliseconds);
// Whether a key producing `keysym` is down on the server.
bool isKeyDown(unsigned keysym);
// Whether the lock with the X modifier mask `modifierMask` is on (NumLock is Mod2, CapsLock is Lock).
bool isLockOn(unsigned modifierMask);
// Leaves the keyboard as the next test expects it: modifiers and letters up, NumLock and CapsLock off.
void resetKeyboard();

// A focused line edit standing in for the application the user types in. Records the key presses it receives
// (modifier keys themselves aside).
class TargetLineEdit : public QLineEdit
{
public:
    struct Press
    {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool operator==(const Press &) const = default;
    };

    explicit TargetLineEdit(const QString &text);
    // Shows the window and waits until it has the keyboard focus.
    bool showFocused();

    QList<Press> presses;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

void PrintTo(const TargetLineEdit::Press &press, std::ostream *out);
