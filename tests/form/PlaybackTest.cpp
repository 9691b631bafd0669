#include "PlaybackFixture.h"
#include "midi/SmfBuilder.h"
#include "support/FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"
#include "support/Actions.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using namespace velkan;
using velkan::test::ManualClock;
using velkan::test::SeamedTest;
using velkan::test::TrackBuilder;
using Op = FakeSequencer::Op;

namespace {

class PlaybackTest : public velkan::test::PlaybackFixture {};

} // namespace

TEST_F(PlaybackTest, MidiLoadShowsTheSongsTiming)
{
    view->document().assign({"old"});
    view->document().setModified(false);
    const QString path = song(4, 2, 640);
    load(path);
    EXPECT_EQ(FileDialog::lastFilters(), (QStringList{QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"),
                                                      QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
    EXPECT_EQ(view->scriptList().lines(),
              (std::vector<ScriptLine>{"dT:0 Tempo:500", "dT:0 Mean4:4"}));
    EXPECT_FALSE(view->document().isModified());
    EXPECT_EQ(view->playback()->songPath(), path);
    EXPECT_EQ(view->positionBar()->maximum(), 640);
    EXPECT_EQ(view->barCountLabel()->text(), QStringLiteral("/41"));
    EXPECT_TRUE(playback->isSongOpen());
    ASSERT_NE(view->playback()->timeline(), nullptr);
    EXPECT_EQ(view->playback()->timeline()->division(), 480);
}

TEST_F(PlaybackTest, FailedOpenLeavesNoSong)
{
    const QString path = song(4, 2, 64);
    device->setFailure(Op::Open, std::string("開けません"));
    load(path);
    EXPECT_EQ(MessageBox::shownTexts(), QStringList{QStringLiteral("開けません")});
    EXPECT_FALSE(playback->isSongOpen());
    EXPECT_EQ(view->playback()->timeline(), nullptr);
    test::triggerAction(view, "actionStart");
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_FALSE(playback->isTimerRunning());
}

// A file that is not a song, or one the device refuses, is found out before
// anything of the loaded song and the author's script goes.
TEST_F(PlaybackTest, ARejectedSongChangesNothing)
{
    struct Case {
        const char *name;
        bool notMidi;        // the reader cannot open it
        const char *refusal; // the device refuses it
    };
    for (const Case c : {Case{"a folder", true, nullptr},
                         Case{"refused by the device", false, "再生できません"}}) {
        SCOPED_TRACE(c.name);
        const QString good = song(4, 2, 640);
        load(good);
        view->window()->setWindowTitle(good);
        test::triggerAction(view, "actionStart");
        play(2600); // bar 2, beat 2
        view->document().insertLine(-1, "tapped", {}, ScriptDocument::kKeepSelection);
        const std::vector<ScriptLine> lines = view->scriptList().lines().toVector();
        device->clearCalls();
        MessageBox::clearShown();

        MessageBox::setNextAnswer(MessageBox::Discard);
        if (c.refusal)
            device->setFailure(Op::Check, std::string(c.refusal));
        load(c.notMidi ? m_dir.path() : song(3, 2, 48));
        device->setFailure(Op::Check, std::nullopt);

        EXPECT_EQ(view->scriptList().lines().toVector(), lines);
        EXPECT_TRUE(view->document().isModified());
        EXPECT_EQ(view->playback()->songPath(), good);
        EXPECT_EQ(view->barCountLabel()->text(), QStringLiteral("/41"));
        EXPECT_EQ(bar(), QStringLiteral("2"));
        EXPECT_TRUE(playback->isSongOpen());
        EXPECT_TRUE(playback->isPerforming());
        for (const Op op : device->ops())
            EXPECT_TRUE(op == Op::Check) << static_cast<int>(op);
        EXPECT_EQ(MessageBox::shownTexts().size(), 2); // the question, then why
        test::triggerAction(view, "actionEnd");
    }
}

TEST_F(PlaybackTest, ANewSongClearsThePreviousSongsDisplays)
{
    QScrollBar *bar = view->positionBar();
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    play(4500);
    bar->setSliderDown(true);
    bar->setSliderPosition(100);
    ASSERT_FALSE(view->dragBarLabel()->text().isEmpty());
    bar->setSliderDown(false);
    test::triggerAction(view, "actionEnd");
    MessageBox::setNextAnswer(MessageBox::Discard);
    load(song(3, 2, 120));
    EXPECT_EQ(this->bar(), QString());
    EXPECT_EQ(beat(), QString());
    EXPECT_EQ(view->dragBarLabel()->text(), QString());
    EXPECT_EQ(view->barCountLabel()->text(), QStringLiteral("/11"));
}

TEST_F(PlaybackTest, CountsBeatsAndBarsInFourFour)
{
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    EXPECT_TRUE(playback->isPerforming());
    EXPECT_TRUE(playback->isTimerRunning());
    EXPECT_EQ(device->calls().back(), (FakeSequencer::Call{Op::PlayFrom, 0, {}}));
    EXPECT_EQ(bar(), QStringLiteral("1"));
    EXPECT_EQ(beat(), QStringLiteral("1"));

    play(1499);
    EXPECT_EQ(beat(), QStringLiteral("3"));
    play(1);
    EXPECT_EQ(beat(), QStringLiteral("4"));
    EXPECT_EQ(view->positionBar()->value(), 0);
    play(500);
    EXPECT_EQ(bar(), QStringLiteral("2"));
    EXPECT_EQ(beat(), QStringLiteral("1"));
    EXPECT_EQ(view->positionBar()->value(), 16);
    play(2000 * 8);
    EXPECT_EQ(bar(), QStringLiteral("10"));
    EXPECT_EQ(view->positionBar()->value(), 16 * 9);
}

TEST_F(PlaybackTest, PauseAndResumeAtTheStartOfTheBeat)
{
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    device->setPosition(74); // bar 5, beat 3, half a beat in
    test::triggerAction(view, "actionPause");
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_TRUE(playback->isPerforming());
    EXPECT_EQ(playback->currentPosition(), 74);

    device->clearCalls();
    test::triggerAction(view, "actionStart");
    EXPECT_EQ(device->calls(), (std::vector<FakeSequencer::Call>{
                                   {Op::Position, 0, {}}, {Op::Seek, 72, {}}, {Op::Play, 0, {}}}));
    EXPECT_EQ(bar(), QStringLiteral("5"));
    EXPECT_EQ(beat(), QStringLiteral("3"));
    EXPECT_TRUE(playback->isTimerRunning());
}

TEST_F(PlaybackTest, ResumeInThreeFourSeeksTheBeatNotFourQuartersABar)
{
    load(song(3, 2, 1200));
    test::triggerAction(view, "actionStart");
    device->setPosition(4 * 3 * 4 + 4); // bar 5, beat 2 of a 3/4 song
    test::triggerAction(view, "actionPause");
    test::triggerAction(view, "actionStart");
    EXPECT_EQ(bar(), QStringLiteral("5"));
    EXPECT_EQ(beat(), QStringLiteral("2"));
    EXPECT_EQ(playback->currentPosition(), 52);
}

TEST_F(PlaybackTest, UpdatesOfARestartedTimerAreDropped)
{
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    // The first timer ticks beats 2 and 3; its updates wait in the queue...
    clock->advanceMs(1000, [this] { return playback->isTimerRunning(); });
    // ...when Start restarts at the device's position, the top of the song.
    test::triggerAction(view, "actionStart");
    EXPECT_EQ(beat(), QStringLiteral("1"));
    QCoreApplication::processEvents();
    EXPECT_EQ(beat(), QStringLiteral("1"));
    EXPECT_TRUE(playback->isTimerRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return clock->sleepers() == 1; }, 2000));
    play(500);
    EXPECT_EQ(beat(), QStringLiteral("2"));
}

TEST_F(PlaybackTest, EndThenStartPlaysFromTheTop)
{
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    play(4500);
    test::triggerAction(view, "actionEnd");
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(bar(), QStringLiteral("3")); // the displays stay
    test::triggerAction(view, "actionStart");
    EXPECT_EQ(bar(), QStringLiteral("1"));
    EXPECT_EQ(beat(), QStringLiteral("1"));
}

TEST_F(PlaybackTest, SongEndStopsTheClockAtTheRealEnd)
{
    load(song(3, 2, 48)); // four bars of 3/4: 6 s
    test::triggerAction(view, "actionStart");
    play(5999);
    EXPECT_TRUE(playback->isPerforming());
    EXPECT_EQ(bar(), QStringLiteral("4"));
    play(1);
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !playback->isTimerRunning(); }, 2000));
    EXPECT_EQ(view->positionBar()->value(), 48);
    EXPECT_EQ(bar(), QStringLiteral("5"));
    // The clock stands at the end: a later tap stamps it.
    setLyrics();
    view->selectLine(4);
    play(3000);
    tap();
    EXPECT_EQ(view->scriptList().text(4), "@WAIT(5,0);");
}

TEST_F(PlaybackTest, LyricFollowStampsTheBeat)
{
    setLyrics();
    // No song counted yet: a press stamps nothing.
    view->selectLine(4);
    tap();
    EXPECT_EQ(view->scriptList().count(), 7);

    load(song(4, 2, 640));
    ASSERT_TRUE(playback->isSongOpen());
    setLyrics();
    test::triggerAction(view, "actionStart");
    play((16 * 4 + 2) * 500.0 + 100); // bar 17, beat 3
    view->selectLine(4);
    tap();
    EXPECT_EQ(view->scriptList().text(4), "@WAIT(17,96);");
    EXPECT_EQ(view->scriptList().text(5), "lyric");
    EXPECT_EQ(view->selectedIndex(), 6);

    // On the last line: the stamp goes before it and nothing stays selected.
    view->selectLine(view->scriptList().count() - 1);
    tap();
    EXPECT_EQ(view->scriptList().text(7), "@WAIT(17,96);");
    EXPECT_EQ(view->selectedIndex(), -1);

    // Other keys never change the list.
    const int count = view->scriptList().count();
    view->selectLine(3);
    QTest::keyClick(view->listView(), Qt::Key_A);
    QTest::keyClick(view->listView(), Qt::Key_Down);
    EXPECT_EQ(view->scriptList().count(), count);
}

// Ctrl+Z while the song plays takes back the last stamp; playback goes on and
// the next tap stamps as before.
TEST_F(PlaybackTest, UndoDuringPlaybackRemovesTheLastStamp)
{
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    load(song(4, 2, 640));
    setLyrics();
    test::triggerAction(view, "actionStart");
    play(2 * 4 * 500.0 + 100); // bar 3, beat 1
    view->selectLine(4);
    tap();
    play(500.0);
    tap(); // a slip: the same line again, one beat late
    ASSERT_EQ(view->scriptList().count(), 9);
    EXPECT_EQ(view->undoAction()->text(), QStringLiteral("元に戻す: 歌詞追い(&U)"));

    QTest::keyClick(view->listView(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(playback->isPerforming());
    EXPECT_TRUE(playback->isTimerRunning());
    EXPECT_EQ(
        view->scriptList().lines(),
        (std::vector<ScriptLine>{"h0", "h1", "h2", "h3", "@WAIT(3,0);", "lyric", "next", "last"}));
    // The caret is back where the taken-back tap found it.
    EXPECT_EQ(view->selectedIndex(), 6);
    play(500.0);
    tap();
    EXPECT_EQ(view->scriptList().text(6), "@WAIT(3,96);");
    EXPECT_EQ(view->scriptList().text(7), "next");
}

// The stamp reads the song at the press, not what the last tick showed: half a
// millisecond after a beat's start the beat box may still show the beat before.
TEST_F(PlaybackTest, TapsJustAfterABeatStartGetThatBeat)
{
    load(song(4, 2, 640));
    setLyrics();
    test::triggerAction(view, "actionStart");
    play(4 * 2000 - 0.5);
    EXPECT_EQ(beat(), QStringLiteral("4"));
    clock->advance(std::chrono::microseconds(1000), [] { return false; }); // no wait for the timer
    view->selectLine(4);
    tap();
    EXPECT_EQ(view->scriptList().text(4), "@WAIT(5,0);");
    view->selectLine(6);
    clock->advance(-std::chrono::microseconds(1000), [] { return false; });
    tap();
    EXPECT_EQ(view->scriptList().text(6), "@WAIT(4,144);");
}

TEST_F(PlaybackTest, WhilePausedATapStampsThePausedBeat)
{
    load(song(4, 2, 640));
    setLyrics();
    test::triggerAction(view, "actionStart");
    play(2000 + 1000 + 200); // bar 2, beat 3
    test::triggerAction(view, "actionPause");
    play(10000);
    view->selectLine(4);
    tap();
    EXPECT_EQ(view->scriptList().text(4), "@WAIT(2,96);");
}

// A pause lands in a beat whose tick has not run yet while an older update
// still waits in the queue: the boxes show the beat a tap would stamp.
TEST_F(PlaybackTest, PausedBoxesShowThePausedBeatOverQueuedUpdates)
{
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    clock->advanceMs(500, [this] { return playback->isTimerRunning(); }); // beat 2, queued
    clock->jump(std::chrono::milliseconds(600));                          // beat 3, no tick yet
    test::triggerAction(view, "actionPause");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar(), QStringLiteral("1"));
    EXPECT_EQ(beat(), QStringLiteral("3"));
    EXPECT_EQ(playback->beat(), (BarBeat{1, 3}));
}

// Qt's keyboard search would select the next line beginning with a blank.
TEST_F(PlaybackTest, EverySpaceInTheListIsLyricFollows)
{
    view->document().assign({"a", " b", "c"});
    view->listView()->setCurrentIndex(QModelIndex());
    view->listView()->clearSelection();
    tap();
    EXPECT_EQ(view->selectedIndex(), -1);
    EXPECT_FALSE(view->listView()->currentIndex().isValid());
    EXPECT_EQ(view->scriptList().count(), 3);
}

TEST_F(PlaybackTest, MidiLoadDuringPerformanceEndsItFirst)
{
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    view->document().insertLine(-1, "tapped", {},
                                ScriptDocument::kKeepSelection); // the author's work since the load
    device->clearCalls();
    MessageBox::setNextAnswer(MessageBox::Discard);
    load(song(3, 2, 120));
    EXPECT_EQ(MessageBox::shownTexts().size(), 1);
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_EQ(device->ops(),
              (std::vector<Op>{Op::Check, Op::Stop, Op::Close, Op::Open, Op::Length}));
    EXPECT_EQ(view->barCountLabel()->text(), QStringLiteral("/11"));

    // Cancel at the question: nothing changes.
    view->document().insertLine(-1, "more", {}, ScriptDocument::kKeepSelection);
    MessageBox::setNextAnswer(MessageBox::Cancel);
    device->clearCalls();
    load(song(4, 2, 64));
    EXPECT_TRUE(device->calls().empty());
    EXPECT_EQ(view->scriptList().lines().back(), "more");
}

TEST_F(PlaybackTest, PositionBarOnlyActsOnDragAndRelease)
{
    load(song(4, 2, 640));
    QScrollBar *bar = view->positionBar();
    // Arrows and page clicks move nothing.
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), 0);

    // A drag shows the bar under the thumb; the release with no performance puts it back.
    bar->setSliderDown(true);
    bar->setSliderPosition(100);
    EXPECT_EQ(view->dragBarLabel()->text(), QStringLiteral("7"));
    bar->setSliderDown(false);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(view->dragBarLabel()->text(), QStringLiteral("7"));

    // During a performance the release jumps there, to the start of its beat.
    test::triggerAction(view, "actionStart");
    device->clearCalls();
    bar->setSliderDown(true);
    bar->setSliderPosition(101);
    bar->setSliderDown(false);
    EXPECT_EQ(device->ops(),
              (std::vector<Op>{Op::Stop, Op::Seek, Op::Position, Op::Seek, Op::Play}));
    EXPECT_EQ(device->calls()[3].argument, 100);
    EXPECT_EQ(bar->value(), 101);
    EXPECT_EQ(playback->beat(), (BarBeat{7, 2}));
    EXPECT_TRUE(playback->isTimerRunning());
}

// While the author holds the thumb, the song goes on: ticks leave the thumb
// where the hand is, and a tap stamps where the song is, not the thumb.
TEST_F(PlaybackTest, AHeldThumbIsTheAuthorsUntilReleased)
{
    load(song(4, 2, 640));
    setLyrics();
    QScrollBar *bar = view->positionBar();
    test::triggerAction(view, "actionStart");
    play(2000 + 1000 + 200); // bar 2, beat 3
    bar->setSliderDown(true);
    bar->setSliderPosition(400);
    EXPECT_EQ(view->dragBarLabel()->text(), QStringLiteral("26"));
    view->selectLine(4);
    tap();
    EXPECT_EQ(view->scriptList().text(4), "@WAIT(2,96);");
    play(2000); // a bar turns over while the thumb is held
    EXPECT_EQ(this->bar(), QStringLiteral("3"));
    EXPECT_EQ(bar->sliderPosition(), 400);
    device->clearCalls();
    bar->setSliderDown(false);
    ASSERT_GE(device->calls().size(), 2u);
    EXPECT_EQ(device->calls()[1], (FakeSequencer::Call{Op::Seek, 400, {}}));
    EXPECT_EQ(playback->beat(), (BarBeat{26, 1}));

    // With no performance the clock goes where the thumb is, and stays.
    test::triggerAction(view, "actionEnd");
    bar->setSliderDown(true);
    bar->setSliderPosition(101);
    bar->setSliderDown(false);
    view->selectLine(7);
    tap();
    EXPECT_EQ(view->scriptList().text(7), "@WAIT(7,48);");
}

TEST_F(PlaybackTest, DeviceErrorsAreShownAndPlaybackGoesOn)
{
    load(song(4, 2, 640));
    device->setFailure(Op::PlayFrom, std::string("再生できません"));
    test::triggerAction(view, "actionStart");
    EXPECT_EQ(MessageBox::shownTexts(), QStringList{QStringLiteral("再生できません")});
    EXPECT_TRUE(playback->isTimerRunning());
}

TEST_F(PlaybackTest, ClosingTheFormStopsTheTimer)
{
    load(song(4, 2, 640));
    test::triggerAction(view, "actionStart");
    play(700);
    ASSERT_EQ(clock->sleepers(), 1);
    view.reset();
    // The timer's thread is gone with the form: nothing sleeps on the clock,
    // and no tick can run when time moves on.
    EXPECT_EQ(clock->sleepers(), 0);
    clock->advanceMs(5000, [] { return false; });
    QCoreApplication::processEvents();
    EXPECT_EQ(clock->sleepers(), 0);
}
