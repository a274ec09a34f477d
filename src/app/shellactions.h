#pragma once

// What the shortcuts and alerts ask of the application shell.
class ShellActions
{
public:
    ShellActions() = default;
    virtual ~ShellActions();
    ShellActions(const ShellActions &) = delete;
    ShellActions &operator=(const ShellActions &) = delete;

    // Opens the settings window (its account tab shows sign-in when nobody is signed in) and brings the program
    // to the front.
    virtual void showSettingsWindow() = 0;
};
