#include "app/overlaywindowcontroller.h"
#include "fakes/fakedesktop.h"
#include "runtime/manualscheduler.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

namespace {

class OverlayTest : public ::testing::Test
{
protected:
    ManualScheduler scheduler;
    FakeOverlayPanel panel;
    OverlayWindowController overlay{panel, scheduler};
};

TEST_F(OverlayTest, RequestsTakeEffectOnALaterTurnInOrder)
{
    overlay.showProcessing(QStringLiteral("Improving prompt..."));
    overlay.showSuccess(QStringLiteral("Done! Using Code"));
    EXPECT_TRUE(panel.events.isEmpty());

    scheduler.runPending();

    EXPECT_EQ(panel.events, (QStringList{QStringLiteral("open Processing Improving prompt..."),
                                         QStringLiteral("show Success Done! Using Code")}));
    EXPECT_EQ(overlay.status(), OverlayStatus::Success);
}

TEST_F(OverlayTest, PanelIsCentredTwentyPointsBelowTheTopOfTheVisibleArea)
{
    panel.screenArea = QRect(1280, 32, 1920, 1048);
    overlay.showProcessing(QStringLiteral("Improving prompt..."));
    scheduler.runPending();

    EXPECT_EQ(panel.lastFrame, QRect(1280 + 810, 52, 300, 60));
}

TEST_F(OverlayTest, ResultsWithoutAPanelOpenOneAndCloseAfterTheirDelay)
{
    struct Row
    {
        std::function<void()> show;
        const char *opened;
        double delay;
    };
    const QList<Row> rows = {
        {[&] { overlay.showError(QStringLiteral("No text selected")); }, "open Error No text selected", 3.0},
        {[&] { overlay.showSuccess(QStringLiteral("Copied to clipboard")); }, "open Success Copied to clipboard", 2.0},
    };
    for (const Row &row : rows) {
        panel.events.clear();
        row.show();
        scheduler.runPending();
        EXPECT_EQ(panel.events, QStringList{QString::fromLatin1(row.opened)});

        scheduler.advance(row.delay - 0.01);
        EXPECT_TRUE(overlay.isOpen());
        scheduler.advance(0.01);
        EXPECT_FALSE(overlay.isOpen());
        EXPECT_EQ(overlay.status(), OverlayStatus::Idle);
        EXPECT_EQ(panel.events.last(), QStringLiteral("close"));
    }
}

TEST_F(OverlayTest, EarlierHideClosesANewerRunsPanel)
{
    overlay.showSuccess(QStringLiteral("Done! Using Text"));
    scheduler.runPending();
    scheduler.advance(1.0);
    overlay.showProcessing(QStringLiteral("Improving prompt..."));
    scheduler.runPending();
    EXPECT_EQ(overlay.status(), OverlayStatus::Processing);

    scheduler.advance(1.0);
    EXPECT_FALSE(overlay.isOpen());

    overlay.showSuccess(QStringLiteral("Done! Using Code"));
    scheduler.runPending();
    EXPECT_EQ(panel.events.last(), QStringLiteral("open Success Done! Using Code"));
}

TEST_F(OverlayTest, ResultTakesOverAnEarlierRunsPanelWhoseHideThenClosesItEarly)
{
    overlay.showError(QStringLiteral("Resource not found"));
    scheduler.runPending();
    scheduler.advance(2.5);
    overlay.showSuccess(QStringLiteral("Done! Using Code"));
    scheduler.runPending();
    EXPECT_EQ(panel.events.last(), QStringLiteral("show Success Done! Using Code"));

    scheduler.advance(0.5);
    EXPECT_FALSE(overlay.isOpen());
    scheduler.advance(2.0);
    EXPECT_EQ(panel.events.count(QStringLiteral("close")), 1);
}

TEST_F(OverlayTest, ProcessingReplacesAnOpenPanelWithAFreshOne)
{
    overlay.showProcessing(QStringLiteral("first"));
    overlay.showProcessing(QStringLiteral("second"));
    scheduler.runPending();

    EXPECT_EQ(panel.events, (QStringList{QStringLiteral("open Processing first"), QStringLiteral("close"),
                                         QStringLiteral("open Processing second")}));
}

TEST_F(OverlayTest, WithoutAScreenStateIsRecordedButNothingOpens)
{
    panel.screenArea.reset();
    overlay.showProcessing(QStringLiteral("Improving prompt..."));
    scheduler.runPending();

    EXPECT_TRUE(panel.events.isEmpty());
    EXPECT_FALSE(overlay.isOpen());
    EXPECT_EQ(overlay.status(), OverlayStatus::Processing);
    EXPECT_EQ(overlay.message(), QStringLiteral("Improving prompt..."));
}

} // namespace
