#include "shell/backgroundshell.h"

#include "runtime/logger.h"

void BackgroundShell::showSettingsWindow()
{
    Log::line(u"AppDelegate", QStringLiteral("Sign-in requested; run ./dev run to sign in to the local account"));
}

void BackgroundShell::presentAccountAfterAuthLink()
{
    Log::line(u"AppDelegate", QStringLiteral("Account link handled"));
}
