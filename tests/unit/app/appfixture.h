#pragma once

#include "app/accessibilitymanager.h"
#include "fakes/fakedesktop.h"
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
