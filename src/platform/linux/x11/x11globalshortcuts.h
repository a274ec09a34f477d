#pragma once

#include "platform/globalshortcuts.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QSettings>

#include <memory>
#include <optional>

struct xcb_connection_t;

// Global shortcuts as passive key grabs on the X root window. Each combination is grabbed four times, alone and
// with CapsLock (Lock), NumLock (Mod2) and both, so the locks do not disable it; when matching a key press they are
// masked out. Key presses arrive through Qt's event loop in this object's native event filter, and the action runs
// on a later turn of the main loop, once per press: the repeats of a held key are ignored. When the keyboard map
// changes (another layout, xmodmap), a grab moves to the key code that now carries its key.
//
// The user's combinations live in the settings under "KeyboardShortcuts/<name>" as "<key code>:<hex modifiers>"
// in the design's numbering (an empty value means the user removed the shortcut). Key codes are translated by
// DesignKeys; a combination without translation cannot be registered.
class X11GlobalShortcuts : public GlobalShortcuts, public QAbstractNativeEventFilter
{
public:
    // `connection` is the application's own X connection, whose events Qt dispatches; null makes every
    // registration fail. `settings` holds the user's combinations; null means the program's user defaults.
    explicit X11GlobalShortcuts(xcb_connection_t *connection, std::unique_ptr<QSettings> settings = nullptr);
    ~X11GlobalShortcuts() override;

    bool declare(const QString &name, KeyCombination defaultCombination, std::function<void()> onKeyDown) override;
    std::optional<KeyCombination> combination(const QString &name) override;
    bool setCombination(const QString &name, std::optional<KeyCombination> combination) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab
    {
        quint8 keycode = 0;
        quint16 modifiers = 0;
        bool operator==(const Grab &) const = default;
    };
    struct Shortcut
    {
        QString name;
        KeyCombination defaultCombination;
        std::function<void()> onKeyDown;
        std::optional<Grab> grab;
        bool down = false;
        bool awaitingKey = false;          // its key left the keyboard map
        std::optional<quint32> releasedAt; // X time stamp of the last release, to recognise repeat pairs
    };

    Shortcut *find(const QString &name);
    // Grabs `combination` for `shortcut`; false when it has no translation or another client holds it.
    bool registerCombination(Shortcut &shortcut, std::optional<KeyCombination> combination);
    void unregister(Shortcut &shortcut);
    // On a later turn of the loop, moves the grab of every shortcut whose key now sits on another key code.
    void scheduleRegrab();
    // The first key code that produces `keysym` in the current keyboard map; 0 when none does.
    quint8 keycodeFor(quint32 keysym) const;

    xcb_connection_t *m_connection;
    quint8 m_xkbEventBase;
    std::unique_ptr<QSettings> m_settings;
    QList<Shortcut> m_shortcuts;
    bool m_regrabPending = false;
    // Context of the queued actions, so none runs after this object is gone.
    QObject m_context;
};
