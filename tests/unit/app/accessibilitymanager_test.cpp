#include "appfixture.h"

namespace {

using Outcome = SelectionRead::Outcome;

class AccessibilityManagerTest : public AccessibilityFixture
{};

TEST_F(AccessibilityManagerTest, UntrustedCheckPromptsAndShowsTheAlertHalfASecondLater)
{
    platform.trusted = false;

    EXPECT_FALSE(accessibility.checkAccessibilityPermission());
    EXPECT_EQ(platform.promptCount, 1);
    scheduler.advance(0.49);
    EXPECT_TRUE(alerts.shown.isEmpty());
    alerts.answer = 0;
    scheduler.advance(0.01);

    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown.at(0).messageText, QStringLiteral("Accessibility Permission Required"));
    EXPECT_EQ(alerts.shown.at(0).informativeText,
              QStringLiteral("Lumora Prompt needs Accessibility permission to read selected text.\n\n"
                             "1. Open System Settings > Privacy & Security > Accessibility\n"
                             "2. Enable \"Lumora Prompt\"\n3. Restart the app"));
    EXPECT_EQ(alerts.shown.at(0).buttons,
              (QStringList{QStringLiteral("Open System Settings"), QStringLiteral("Later")}));
    EXPECT_EQ(workspace.openedPanes, QList<Workspace::SettingsPane>{Workspace::SettingsPane::Accessibility});
}

TEST_F(AccessibilityManagerTest, UnsupportedDesktopExplainsItselfInsteadOfSendingToSettings)
{
    platform.trusted = false;
    platform.unsupported = QStringLiteral("Wayland sessions without X11 are not supported yet.");
    alerts.answer = 0;

    accessibility.checkAccessibilityPermission();
    scheduler.advance(0.5);

    EXPECT_EQ(alerts.shown.at(0).informativeText, platform.unsupported);
    EXPECT_TRUE(workspace.openedPanes.isEmpty());
}

TEST_F(AccessibilityManagerTest, TrustedCheckDoesNothingElse)
{
    EXPECT_TRUE(accessibility.checkAccessibilityPermission());
    scheduler.advance(1.0);
    EXPECT_EQ(platform.promptCount, 0);
    EXPECT_TRUE(alerts.shown.isEmpty());
}

TEST_F(AccessibilityManagerTest, SelectionReadOutcomes)
{
    struct Row
    {
        bool trusted;
        SelectionRead read;
        std::optional<QString> expected;
        QString logLine;
    };
    const QList<Row> rows = {
        {true, {Outcome::Text, QStringLiteral("fix the bug"), {}}, QStringLiteral("fix the bug"), {}},
        {true, {Outcome::Text, QString(), {}}, std::nullopt, {}},
        {true,
         {Outcome::NoFocusedElement, {}, QStringLiteral("no selection owner")},
         std::nullopt,
         QStringLiteral("Could not get focused element: no selection owner")},
        {true,
         {Outcome::NoSelectedText, {}, QStringLiteral("timed out")},
         std::nullopt,
         QStringLiteral("Could not get selected text: timed out")},
        {false, {Outcome::Text, QStringLiteral("x"), {}}, std::nullopt, QStringLiteral("No accessibility permission")},
    };
    for (const Row &row : rows) {
        CapturedLog rowLog;
        platform.trusted = row.trusted;
        platform.selection = row.read;
        EXPECT_EQ(runTask(accessibility.getSelectedText()), row.expected) << row.logLine.toStdString();
        EXPECT_EQ(rowLog.lines(), row.logLine.isEmpty() ? QStringList() : QStringList{row.logLine});
    }
}

TEST_F(AccessibilityManagerTest, CopyFallbackReturnsTheCopyAndRestoresEverythingTheUserHad)
{
    pasteboard.externalWrite(richContents());
    selectionInTarget = "teh quick brown fox";

    EXPECT_EQ(viaClipboard(), QStringLiteral("teh quick brown fox"));
    EXPECT_EQ(keyboard.posted, QList<int>{KeyboardEvents::copyKey});
    scheduler.advance(0.49);
    EXPECT_EQ(pasteboard.string(), QStringLiteral("teh quick brown fox"));
    scheduler.advance(0.01);

    EXPECT_EQ(pasteboard.contents(), richContents());
}

TEST_F(AccessibilityManagerTest, CopyFallbackWithNothingSelected)
{
    pasteboard.externalWrite(textContents("earlier"));

    EXPECT_EQ(viaClipboard(), std::nullopt);
    EXPECT_EQ(pasteboard.contents(), PasteboardContents{});
    scheduler.advance(0.5);
    EXPECT_EQ(pasteboard.contents(), textContents("earlier"));

    selectionInTarget = "";
    EXPECT_EQ(viaClipboard(), std::nullopt);
    scheduler.advance(0.5);
    EXPECT_EQ(pasteboard.contents(), textContents("earlier"));
}

TEST_F(AccessibilityManagerTest, PasteLeavesATransientEntryAndPutsTheUsersContentsBack)
{
    pasteboard.externalWrite(richContents());

    EXPECT_TRUE(runTask(accessibility.replaceSelectedText(QStringLiteral("The quick brown fox"))));

    EXPECT_EQ(keyboard.posted, QList<int>{KeyboardEvents::pasteKey});
    EXPECT_EQ(pasteboard.string(), QStringLiteral("The quick brown fox"));
    EXPECT_TRUE(pasteboard.lastWriteWasTransient);
    scheduler.advance(0.3);
    EXPECT_EQ(pasteboard.contents(), richContents());
}

TEST_F(AccessibilityManagerTest, EmptyClipboardIsEmptyAgainAfterAPaste)
{
    runTask(accessibility.replaceSelectedText(QStringLiteral("improved")));
    scheduler.advance(0.3);

    EXPECT_EQ(pasteboard.contents(), PasteboardContents{});
}

TEST_F(AccessibilityManagerTest, OverlappingRunsEndWithWhatTheUserHadBeforeTheFirst)
{
    pasteboard.externalWrite(richContents());
    selectionInTarget = "draft";

    viaClipboard();
    runTask(accessibility.replaceSelectedText(QStringLiteral("first improved")));
    scheduler.advance(0.1);
    viaClipboard();
    runTask(accessibility.replaceSelectedText(QStringLiteral("second improved")));
    scheduler.advance(0.25);
    EXPECT_NE(pasteboard.contents(), richContents());
    scheduler.advance(1.0);

    EXPECT_EQ(pasteboard.contents(), richContents());
}

TEST_F(AccessibilityManagerTest, WhatSomeoneElseCopiesMeanwhileIsNeverOverwritten)
{
    pasteboard.externalWrite(textContents("user's first copy"));
    runTask(accessibility.replaceSelectedText(QStringLiteral("improved")));
    pasteboard.externalWrite(textContents("user's new copy"));

    scheduler.advance(0.3);
    EXPECT_EQ(pasteboard.contents(), textContents("user's new copy"));

    // The next run saves the new copy and puts it back.
    runTask(accessibility.replaceSelectedText(QStringLiteral("improved again")));
    scheduler.advance(0.3);
    EXPECT_EQ(pasteboard.contents(), textContents("user's new copy"));
}

TEST_F(AccessibilityManagerTest, PasteThatCannotBePostedReportsFailure)
{
    keyboard.canPost = false;
    EXPECT_FALSE(runTask(accessibility.replaceSelectedText(QStringLiteral("improved"))));
}

} // namespace
