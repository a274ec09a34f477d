#pragma once

#include "app/shellactions.h"
#include "auth/authlinkpresenter.h"

// The application shell while the program runs in the background without windows of its own: requests to show
// the account are logged so the user sees in the console what happened. The settings window takes these over.
class BackgroundShell : public ShellActions, public AuthLinkPresenter
{
public:
    void showSettingsWindow() override;
    void presentAccountAfterAuthLink() override;
};
