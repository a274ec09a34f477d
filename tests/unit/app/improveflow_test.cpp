#include "appfixture.h"

#include <QJsonDocument>

#include <gmock/gmock.h>

namespace {

const QByteArray improvedBody = R"({"original_text":"fix bug","improved_text":"Fix the bug in the parser.",
    "skill_used":"code","skill_name":"Code","tokens_used":12,"credits_remaining":88})";

class ImproveFlowTest : public ImproveFlowFixture
{
protected:
    ImproveFlowTest()
    {
        signIn();
        platform.selection = {SelectionRead::Outcome::Text, QStringLiteral("fix bug"), {}};
        pasteboard.externalWrite(textContents("user's clipboard"));
    }

    // Runs one improvement and lets every deferred change land, but not the delayed hides and restores.
    void improve()
    {
        QCoro::Task<> running = flow.improveSelectedText();
        scheduler.advance(AccessibilityManager::copySettleTime);
        runTask(std::move(running));
        scheduler.runPending();
    }
};

TEST_F(ImproveFlowTest, SuccessPastesTheImprovedTextAndReportsTheSkill)
{
    transport.reply(200, improvedBody);

    improve();

    EXPECT_EQ(keyboard.posted, QList<int>{KeyboardEvents::pasteKey});
    EXPECT_EQ(panel.events, (QStringList{QStringLiteral("open Processing Improving prompt..."),
                                         QStringLiteral("show Success Done! Using Code")}));
    EXPECT_EQ(state.credits(), 88);
    EXPECT_FALSE(state.isProcessing());
    EXPECT_FALSE(state.lastError());
    EXPECT_EQ(QJsonDocument::fromJson(transport.requests().at(0).body).object(),
              QJsonDocument::fromJson(R"({"text":"fix bug","auto_detect":true,"stream":false})").object());
    scheduler.advance(0.3);
    EXPECT_EQ(pasteboard.contents(), textContents("user's clipboard"));
}

TEST_F(ImproveFlowTest, OutcomesThatStopBeforeTheRequest)
{
    struct Row
    {
        const char *name;
        std::function<void()> arrange;
        QStringList overlay;
        QList<int> keystrokes;
    };
    const QList<Row> rows = {
        {"untrusted", [&] { platform.trusted = false; }, {}, {}},
        {"no selection",
         [&] {
             platform.selection = {SelectionRead::Outcome::NoFocusedElement, {}, QStringLiteral("x")};
         },
         {QStringLiteral("open Error No text selected")},
         {KeyboardEvents::copyKey}},
        {"empty selection and empty copy",
         [&] {
             platform.selection = {SelectionRead::Outcome::Text, QString(), {}};
             selectionInTarget = "";
         },
         {QStringLiteral("open Error No text selected")},
         {KeyboardEvents::copyKey}},
        {"signed out",
         [&] {
             state.updateUser(std::nullopt);
             scheduler.runPending();
         },
         {QStringLiteral("open Error Please sign in first")},
         {}},
    };
    for (const Row &row : rows) {
        platform.trusted = true;
        platform.selection = {SelectionRead::Outcome::Text, QStringLiteral("fix bug"), {}};
        selectionInTarget = nullptr;
        state.updateUser(User{.id = QStringLiteral("u1"), .email = QStringLiteral("ada@example.com")});
        scheduler.runPending();
        panel.events.clear();
        keyboard.posted.clear();
        row.arrange();

        improve();

        EXPECT_EQ(panel.events, row.overlay) << row.name;
        // Element-wise: QList's operator== hands null pointers to memcmp when both lists are empty (Qt 6.4).
        EXPECT_THAT(keyboard.posted, ::testing::ElementsAreArray(row.keystrokes)) << row.name;
        EXPECT_TRUE(transport.requests().isEmpty()) << row.name;
        EXPECT_FALSE(state.isProcessing()) << row.name;
        scheduler.advance(5.0);
    }
    EXPECT_EQ(platform.promptCount, 1);
}

TEST_F(ImproveFlowTest, EmptySelectionFallsBackToTheCopy)
{
    platform.selection = {SelectionRead::Outcome::Text, QString(), {}};
    selectionInTarget = "copied draft";
    transport.reply(200, improvedBody);

    improve();

    EXPECT_TRUE(log.contains(u"Accessibility failed, trying clipboard method..."));
    EXPECT_EQ(keyboard.posted, (QList<int>{KeyboardEvents::copyKey, KeyboardEvents::pasteKey}));
    EXPECT_TRUE(transport.requests().at(0).body.contains("copied draft"));
}

TEST_F(ImproveFlowTest, TrustLostDuringTheRequestLeavesTheTextOnTheClipboard)
{
    transport.onNextSend([&] { platform.trusted = false; });
    transport.reply(200, improvedBody);

    improve();
    scheduler.advance(5.0);

    EXPECT_TRUE(keyboard.posted.isEmpty());
    EXPECT_EQ(pasteboard.string(), QStringLiteral("Fix the bug in the parser."));
    EXPECT_EQ(panel.events.at(1), QStringLiteral("show Success Copied to clipboard"));
    EXPECT_TRUE(log.contains(u"No accessibility permission"));
    EXPECT_FALSE(state.lastError());
}

TEST_F(ImproveFlowTest, FailuresAreShownAndKept)
{
    struct Row
    {
        std::function<void()> script;
        QString shown;
        QString kept;
    };
    const QList<Row> rows = {
        {[&] { transport.reply(402); }, QStringLiteral("Insufficient credits. Please upgrade your plan."),
         QStringLiteral("Insufficient credits. Please upgrade your plan.")},
        {[&] { transport.reply(500, R"({"detail":"Model overloaded"})"); }, QStringLiteral("Model overloaded"),
         QStringLiteral("Model overloaded")},
        {[&] { transport.fail(TransportError::Kind::CannotConnect); }, QStringLiteral("Failed to improve prompt"),
         QStringLiteral("Could not connect to the server.")},
        {[&] { transport.reply(200, R"({"improved_text":"x"})"); }, QStringLiteral("Failed to improve prompt"), {}},
    };
    for (const Row &row : rows) {
        panel.events.clear();
        row.script();
        improve();
        EXPECT_EQ(panel.events.last(), QStringLiteral("show Error ") + row.shown);
        if (!row.kept.isEmpty()) {
            EXPECT_EQ(state.lastError(), row.kept);
        }
        EXPECT_TRUE(state.lastError().has_value());
        EXPECT_FALSE(state.isProcessing());
        EXPECT_TRUE(keyboard.posted.isEmpty());
        scheduler.advance(5.0);
    }
}

TEST_F(ImproveFlowTest, OverlappingRunsBothCompleteAndRestoreTheUsersClipboard)
{
    transport.reply(200, improvedBody);
    transport.reply(200, improvedBody);

    QCoro::Task<> first = flow.improveSelectedText();
    QCoro::Task<> second = flow.improveSelectedText();
    scheduler.advance(AccessibilityManager::copySettleTime);
    runTask(std::move(first));
    runTask(std::move(second));
    scheduler.advance(5.0);

    EXPECT_EQ(transport.requests().size(), 2);
    EXPECT_EQ(keyboard.posted, (QList<int>{KeyboardEvents::pasteKey, KeyboardEvents::pasteKey}));
    EXPECT_FALSE(state.isProcessing());
    EXPECT_EQ(pasteboard.contents(), textContents("user's clipboard"));
}

TEST(ImproveRequest, ChoicesMapToTheBodyByExactMatch)
{
    const QList<QPair<QPair<const char *, const char *>, const char *>> rows = {
        {{"auto", "general"}, R"({"text":"t","auto_detect":true,"stream":false})"},
        {{"Auto", "general"}, R"({"text":"t","skill_slug":"Auto","auto_detect":false,"stream":false})"},
        {{"", "General"},
         R"({"text":"t","skill_slug":"","auto_detect":false,"stream":false,"target_model":"General"})"},
        {{"code", "midjourney"},
         R"({"text":"t","skill_slug":"code","auto_detect":false,"stream":false,"target_model":"midjourney"})"},
    };
    for (const auto &[choices, expected] : rows) {
        const PromptRequest request = ImproveFlow::requestFor(QStringLiteral("t"), QString::fromLatin1(choices.first),
                                                              QString::fromLatin1(choices.second));
        EXPECT_EQ(request.toJson(), QJsonDocument::fromJson(expected).object()) << expected;
    }
}

} // namespace
