#include "app/hotkeymanager.h"
#include "app/shellactions.h"
#include "appfixture.h"

namespace {

class RecordingShell : public ShellActions
{
public:
    void showSettingsWindow() override { ++settingsShown; }
    int settingsShown = 0;
};

class HotKeyManagerTest : public ImproveFlowFixture
{
protected:
    HotKeyManagerTest()
    {
        platform.selection = {SelectionRead::Outcome::Text, QStringLiteral("draft"), {}};
        hotkeys.setOnVoiceHotkeyPressed([this] { ++voiceStarts; });
        hotkeys.setupHotKeys();
    }

    FakeGlobalShortcuts shortcuts;
    RecordingShell shell;
    HotKeyManager hotkeys{shortcuts, state, flow, alerts, shell, scheduler};
    int voiceStarts = 0;
};

TEST_F(HotKeyManagerTest, DeclaresBothShortcutsWithTheirDefaults)
{
    EXPECT_EQ(shortcuts.combination(HotKeyManager::improveText), (KeyCombination{34, 0x120000}));
    EXPECT_EQ(shortcuts.combination(HotKeyManager::voiceInput), (KeyCombination{32, 0x120000}));
}

TEST_F(HotKeyManagerTest, SignedOutShortcutsOnlyOfferToSignIn)
{
    qsizetype alertsBefore = 0;
    for (const QString &name : {HotKeyManager::improveText, HotKeyManager::voiceInput}) {
        shortcuts.press(name);
        EXPECT_EQ(alerts.shown.size(), alertsBefore);
        scheduler.advance(1.0);
        alertsBefore = alerts.shown.size();
    }

    ASSERT_EQ(alerts.shown.size(), 2);
    EXPECT_EQ(alerts.shown.at(0).messageText, QStringLiteral("Authentication Required"));
    EXPECT_EQ(alerts.shown.at(0).informativeText, QStringLiteral("Please sign in to use Lumora Prompt."));
    EXPECT_EQ(alerts.shown.at(0).buttons, (QStringList{QStringLiteral("Sign In"), QStringLiteral("Cancel")}));
    EXPECT_TRUE(keyboard.posted.isEmpty());
    EXPECT_TRUE(transport.requests().isEmpty());
    EXPECT_EQ(voiceStarts, 0);
    EXPECT_EQ(shell.settingsShown, 0);
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("Improve text hotkey triggered!"),
                                        QStringLiteral("Voice input hotkey triggered!")}));
}

TEST_F(HotKeyManagerTest, SignInChoiceOpensTheSettingsWindow)
{
    alerts.answer = 0;
    shortcuts.press(HotKeyManager::improveText);
    scheduler.runPending();

    EXPECT_EQ(shell.settingsShown, 1);
}

TEST_F(HotKeyManagerTest, ImproveStartsATenthOfASecondAfterEachPress)
{
    signIn();
    transport.reply(200, R"({"original_text":"draft","improved_text":"Better draft","skill_used":"text",
                             "skill_name":"Text","tokens_used":1,"credits_remaining":9})");
    transport.reply(200, R"({"original_text":"draft","improved_text":"Better draft","skill_used":"text",
                             "skill_name":"Text","tokens_used":1,"credits_remaining":8})");

    shortcuts.press(HotKeyManager::improveText);
    shortcuts.press(HotKeyManager::improveText);
    scheduler.advance(0.09);
    EXPECT_TRUE(transport.requests().isEmpty());
    scheduler.advance(0.01);

    EXPECT_EQ(transport.requests().size(), 2);
    EXPECT_EQ(keyboard.posted, (QList<int>{KeyboardEvents::pasteKey, KeyboardEvents::pasteKey}));
}

TEST_F(HotKeyManagerTest, VoiceShortcutRunsTheActionOnALaterTurn)
{
    signIn();
    shortcuts.press(HotKeyManager::voiceInput);
    EXPECT_EQ(voiceStarts, 0);
    scheduler.runPending();
    EXPECT_EQ(voiceStarts, 1);

    hotkeys.setOnVoiceHotkeyPressed({});
    shortcuts.press(HotKeyManager::voiceInput);
    scheduler.runPending();
    EXPECT_EQ(voiceStarts, 1);
}

} // namespace
