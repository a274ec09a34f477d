#pragma once

#include "app/accessibilitymanager.h"
#include "app/improveflow.h"
#include "app/overlaywindowcontroller.h"
#include "backend/apiclient.h"
#include "backend/appstate.h"
#include "backend/promptservice.h"
#include "fakes/fakedesktop.h"
#include "fakes/fakehttptransport.h"
#include "fakes/fakeidentityclient.h"
#include "runtime/logger.h"
#include "runtime/manualscheduler.h"
#include "support/qtprinters.h"
#include "support/taskoutcome.h"

#include <gtest/gtest.h>

// Clipboard contents of the kinds users copy.
inline PasteboardContents textContents(const char *text)
{
    return {PasteboardItem{{{Pasteboard::plainTextType, QByteArray(text)}}}};
}

inline PasteboardContents richContents()
{
    return {PasteboardItem{{{QStringLiteral("text/html"), QByteArray("<b>bold</b>")},
                            {Pasteboard::plainTextType, QByteArray("bold")}}},
            PasteboardItem{{{QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n....", 12)}}}};
}

// The selection side of the program over fake desktop services and a manual clock. The fake keyboard plays the
// focused application: a copy keystroke puts `selectionInTarget` on the clipboard when it is set.
class AccessibilityFixture : public ::testing::Test
{
protected:
    AccessibilityFixture()
    {
        keyboard.onKeystroke = [this](int key) {
            if (key == KeyboardEvents::copyKey && selectionInTarget) {
                pasteboard.externalWrite(textContents(selectionInTarget));
            }
        };
    }

    // Runs the copy fallback, moving the clock over its settle time.
    std::optional<QString> viaClipboard()
    {
        QCoro::Task<std::optional<QString>> copying = accessibility.getSelectedTextViaClipboard();
        scheduler.advance(AccessibilityManager::copySettleTime);
        return runTask(std::move(copying));
    }

    CapturedLog log;
    ManualScheduler scheduler;
    FakeAccessibility platform;
    FakeKeyboardEvents keyboard;
    FakePasteboard pasteboard;
    FakeAlerts alerts;
    FakeWorkspace workspace;
    const char *selectionInTarget = nullptr;
    AccessibilityManager accessibility{platform, keyboard, pasteboard, alerts, workspace, scheduler};
};

// The whole improve flow over the fakes: a scripted backend, the overlay controller and the flow itself.
class ImproveFlowFixture : public AccessibilityFixture
{
protected:
    void signIn()
    {
        api.setAccessToken(QStringLiteral("token"));
        state.updateUser(User{.id = QStringLiteral("u1"), .email = QStringLiteral("ada@example.com")});
        scheduler.runPending();
    }

    FakeHttpTransport transport;
    FakeIdentityClient identity;
    APIClient api{QStringLiteral("http://127.0.0.1:8765"), transport, identity};
    AppState state{scheduler};
    PromptService prompts{api, state};
    FakeOverlayPanel panel;
    OverlayWindowController overlay{panel, scheduler};
    ImproveFlow flow{accessibility, prompts, state, overlay, pasteboard};
};
