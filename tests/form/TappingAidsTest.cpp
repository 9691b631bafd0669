// The tapping aids through the form: speed, grid, start from a line, re-tap a
// range, nudge and the tap latency check, on a fake device and a clock the
// test moves (a 4/4 bar is 2 s as written).
#include "PlaybackFixture.h"

#include "aids/TapLatencyDialog.h"
#include "form/CommandIds.h"
#include "form/TappingAids.h"
#include "platform/AppSettings.h"

#include <QAction>
#include <QLabel>
#include <QSpinBox>

using namespace velkan;
using Op = FakeSequencer::Op;

namespace {

class TappingAidsTest : public velkan::test::PlaybackFixture {
protected:
    TappingAids &aids() { return *view->tapping(); }
    void trigger(int id) { aids().action(id)->trigger(); }
    std::vector<ScriptLine> lines() const { return view->scriptList().lines().toVector(); }
    // The last position the device was told to play from.
    std::int32_t lastSeek() const
    {
        std::int32_t at = -1;
        for (const FakeSequencer::Call &c : device->calls()) {
            if (c.op == Op::Seek || c.op == Op::PlayFrom)
                at = c.argument;
        }
        return at;
    }
};

} // namespace

TEST_F(TappingAidsTest, SpeedFollowsTheBoxAndKeysAndTheStampsFollowTheMusic)
{
    load(song(4, 2, 640));
    setLyrics();
    view->speedBox()->setValue(50);
    EXPECT_EQ(playback->speedPercent(), 50);
    EXPECT_DOUBLE_EQ(device->speed(), 0.5);
    EXPECT_EQ(AppSettings().speedPercent(), 50);
    trigger(cmd::Faster);
    EXPECT_EQ(view->speedBox()->value(), 55);
    trigger(cmd::Slower);
    trigger(cmd::Slower);
    trigger(cmd::Slower); // held at 50
    EXPECT_EQ(playback->speedPercent(), 50);

    // At half speed bar 2 begins after 4 s of wall time.
    test::triggerAction(view, "actionStart");
    play(3900);
    view->selectLine(4);
    tap();
    EXPECT_EQ(view->scriptList().text(4), "@WAIT(1,144);");
    play(200);
    view->selectLine(6);
    tap();
    EXPECT_EQ(view->scriptList().text(6), "@WAIT(2,0);");

    // Back to full speed in the middle of bar 2: no jump, then twice as fast.
    view->speedBox()->setValue(100);
    play(1000); // bar 2 beat 3 + 0.1 s of music before
    view->selectLine(8);
    tap();
    EXPECT_EQ(view->scriptList().text(8), "@WAIT(2,96);");
}

struct GridCase {
    int action;
    const char *stamp; // a tap 1.3 s into bar 2 (2.6 quarters)
};

class TappingGrid : public TappingAidsTest, public ::testing::WithParamInterface<GridCase> {};

TEST_P(TappingGrid, StampsTheUnitSounding)
{
    load(song(4, 2, 640));
    setLyrics();
    trigger(GetParam().action);
    test::triggerAction(view, "actionStart");
    play(2000 + 1300);
    view->selectLine(4);
    tap();
    EXPECT_EQ(view->scriptList().text(4), GetParam().stamp);
}

INSTANTIATE_TEST_SUITE_P(Units, TappingGrid,
                         ::testing::Values(GridCase{cmd::GridQuarter, "@WAIT(2,96);"},
                                           GridCase{cmd::GridEighth, "@WAIT(2,120);"},
                                           GridCase{cmd::GridSixteenth, "@WAIT(2,120);"},
                                           GridCase{cmd::GridStep, "@WAIT(2,124);"}));

TEST_F(TappingAidsTest, StartFromALinePlaysAPreRollBeforeItsTiming)
{
    load(song(4, 2, 640));
    view->document().assign({"h0", "@WAIT(5,96);", "lyric", "@WAIT(9,0);", "next"});
    view->selectLine(2);
    trigger(cmd::StartFromLine);
    EXPECT_TRUE(playback->isPerforming());
    EXPECT_EQ(lastSeek(), 3 * 16 + 8); // bar 4, beat 3: one bar before
    EXPECT_EQ(view->selectedIndex(), 2);

    AppSettings().setPreRollBars(2);
    view->selectLine(4);
    trigger(cmd::StartFromLine);
    EXPECT_EQ(lastSeek(), 6 * 16); // bar 7

    view->selectLine(0); // no timing above: from the top
    trigger(cmd::StartFromLine);
    EXPECT_EQ(lastSeek(), 0);
}

TEST_F(TappingAidsTest, RetapChangesOnlyTheRangeAndIsOneUndoStep)
{
    load(song(4, 2, 640));
    const std::vector<ScriptLine> before = {
        "h0",  "@WAIT(2,0);", "one",         "@WAIT(3,0);@COLOR(33);",
        "two", "three",       "@WAIT(6,0);", "four"};
    view->document().assign(before);
    view->document().setModified(false);
    // Lines 3 .. 5 ("@WAIT(3,0)...", "two", "three").
    view->selectLine(3);
    view->listView()->selectionModel()->select(view->listView()->model()->index(5, 0),
                                               QItemSelectionModel::Select);
    trigger(cmd::RetapRange);
    ASSERT_TRUE(aids().isRetapping());
    EXPECT_EQ(lastSeek(), 16); // a bar before bar 3

    play(2000 + 500); // bar 3 beat 2 (music started at bar 2)
    tap();
    play(1000);
    tap();
    play(1000);
    tap(); // the range is used up: nothing
    test::triggerAction(view, "actionEnd");
    EXPECT_FALSE(aids().isRetapping());

    const std::vector<ScriptLine> after = {
        "h0",    "@WAIT(2,0);", "one", "@WAIT(3,48);@COLOR(33);", "two", "@WAIT(3,144);",
        "three", "@WAIT(6,0);", "four"};
    EXPECT_EQ(lines(), after);
    view->document().undo();
    EXPECT_EQ(lines(), before);
    EXPECT_FALSE(view->document().isModified());
}

TEST_F(TappingAidsTest, EscEndsATakeAndSpaceStampsAsBeforeAgain)
{
    load(song(4, 2, 640));
    view->document().assign({"@WAIT(2,0);", "one", "two"});
    view->selectLine(0);
    trigger(cmd::RetapRange);
    ASSERT_TRUE(aids().isRetapping());
    QTest::keyClick(view->listView(), Qt::Key_Escape);
    EXPECT_FALSE(aids().isRetapping());
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_FALSE(view->document().inSession());
}

TEST_F(TappingAidsTest, NudgeMovesTheWaitLineOneUnitThroughTheSongsBars)
{
    load(song(3, 2, 640)); // 3/4: 144 steps a bar
    view->document().assign({"@WAIT(3,0);@COLOR(32);", "lyric"});
    view->selectLine(0);
    trigger(cmd::NudgeEarlier);
    EXPECT_EQ(view->scriptList().text(0), "@WAIT(2,96);@COLOR(32);");
    trigger(cmd::GridEighth);
    trigger(cmd::NudgeLater);
    trigger(cmd::NudgeLater);
    EXPECT_EQ(view->scriptList().text(0), "@WAIT(3,0);@COLOR(32);"); // past bar 2's last eighth
    view->document().undo();
    EXPECT_EQ(view->scriptList().text(0), "@WAIT(2,120);@COLOR(32);");

    view->selectLine(1); // not a @WAIT line: nothing
    trigger(cmd::NudgeLater);
    EXPECT_EQ(view->scriptList().text(1), "lyric");
    view->document().assign({"@WAIT(1,0);"});
    view->selectLine(0);
    trigger(cmd::NudgeEarlier); // never before bar 1
    EXPECT_EQ(view->scriptList().text(0), "@WAIT(1,0);");
}

// A scripted player 40 ms late on every beat (a little jitter), once tapping twice.
TEST_F(TappingAidsTest, TapLatencyCheckMeasuresALateTapperAndSavesTheOffset)
{
    load(song(4, 2, 640));
    device->setOutputLatencyNanos(15'000'000);
    TapLatencyDialog dialog(*view);
    ASSERT_TRUE(dialog.startRun());
    device->setOutputLatencyNanos(15'000'000); // the run's own device
    EXPECT_EQ(device->calls().front().path, playback->songPath().toStdString());
    ASSERT_EQ(dialog.beats().size(), std::size_t{TapLatencyDialog::kBeats});
    for (std::size_t i = 0; i < dialog.beats().size(); ++i) {
        const std::int64_t jitter = (i % 3 == 0 ? 2 : i % 3 == 1 ? -2 : 0) * 1'000'000;
        dialog.tap(dialog.beats()[i] + 40'000'000 + jitter);
    }
    dialog.tap(dialog.beats()[5] + 240'000'000); // a second tap on beat 6: left out
    clock->jump(std::chrono::seconds(10));
    dialog.poll();
    EXPECT_FALSE(dialog.isRunning());
    ASSERT_TRUE(dialog.result());
    EXPECT_NEAR(dialog.result()->meanMs, 40.0, 0.5);
    ASSERT_EQ(dialog.offsetToSave(), 25); // less the output's own 15 ms
    dialog.save();
    EXPECT_EQ(playback->tapOffsetMs(), 25);
    EXPECT_EQ(playback->tapLatencyNanos(), 40'000'000);
    EXPECT_EQ(AppSettings().tapOffsetMs(), 25);
}

TEST_F(TappingAidsTest, WithoutAnOffsetTapsAreReadAsTheyCome)
{
    load(song(4, 2, 640));
    device->setOutputLatencyNanos(15'000'000);
    EXPECT_EQ(playback->tapLatencyNanos(), 0);
    playback->setTapOffsetMs(0);
    EXPECT_EQ(playback->tapLatencyNanos(), 15'000'000);
}
