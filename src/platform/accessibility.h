#pragma once

#include <QCoroTask>
#include <QString>

// What reading the focused application's selection gave.
struct SelectionRead
{
    enum class Outcome
    {
        Text,             // `text` holds the selection (possibly empty)
        NoFocusedElement, // nothing owns the selection / no focused element; `errorValue` says why
        NoSelectedText,   // the owner gave no text; `errorValue` says why
    };

    Outcome outcome = Outcome::NoFocusedElement;
    QString text;
    QString errorValue;
};

// Reading the selection of other applications, and the permission that needs.
class Accessibility
{
public:
    Accessibility() = default;
    virtual ~Accessibility();
    Accessibility(const Accessibility &) = delete;
    Accessibility &operator=(const Accessibility &) = delete;

    // Whether the program may read selections and post keystrokes to other applications. Asked afresh each time.
    virtual bool isProcessTrusted() = 0;
    // The same check, showing the system's own permission prompt where the platform has one.
    virtual bool isProcessTrustedWithPrompt() = 0;
    // Empty when trust can be granted in the system settings; otherwise a sentence saying why this desktop
    // cannot be supported (for example a Wayland session without X11 access).
    virtual QString unsupportedReason() = 0;
    // The current selection of the focused application, with a bounded wait. Never blocks the main thread.
    virtual QCoro::Task<SelectionRead> readSelectedText() = 0;
};
