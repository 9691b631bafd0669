#include "FormTestSupport.h"
#include "midi/SmfBuilder.h"

#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using namespace velkan;
using velkan::test::SeamedTest;
using velkan::test::TrackBuilder;
using Op = FakeSequencer::Op;

namespace {

// A tempo so slow (16.7 s a quarter) that the real beat timer never ticks
// during a test: the tests tick the clock themselves.
constexpr std::uint32_t kSlowTempoUs = 0xFFFFFF;

class PlaybackTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        Playback::setSequencerFactory([this] {
            auto fake = std::make_unique<FakeSequencer>();
            device = fake.get();
            return fake;
        });
        view = std::make_unique<VelkanView>();
        view->show();
        playback = view->playback();
    }
    void TearDown() override
    {
        view.reset();
        Playback::setSequencerFactory({});
        SeamedTest::TearDown();
    }

    QString song(int numerator, int exponent, std::int32_t lengthSixteenths)
    {
        TrackBuilder t;
        t.tempo(0, kSlowTempoUs).timeSignature(0, numerator, exponent).note(0, 60).endOfTrack(
            static_cast<std::uint32_t>(lengthSixteenths) * 120);
        device->setSongLength(lengthSixteenths);
        return writeTemp(QStringLiteral("song.mid"), velkan::test::smf(480, {t}));
    }
    void load(const QString &path)
    {
        FileDialog::setNextFileName(path);
        view->runCommand(cmd::MidiLoad);
    }
    // Ticks the clock n quarters and lets the UI show the result.
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            playback->tick();
        QCoreApplication::processEvents();
    }
    QString bar() const { return view->barBox()->text(); }
    QString beat() const { return view->beatBox()->text(); }

    FakeSequencer *device = nullptr;
    std::unique_ptr<VelkanView> view;
    Playback *playback = nullptr;
};

} // namespace

TEST_F(PlaybackTest, MidiLoadShowsTheSongsTiming)
{
    view->scriptList().assign({"old"});
    view->scriptList().setModified(false);
    const QString path = song(4, 2, 640);
    load(path);
    EXPECT_EQ(FileDialog::lastFilters(),
              (QStringList{QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
    EXPECT_EQ(view->scriptList().lines(),
              (std::vector<ScriptLine>{"dT:0 Tempo:16777", "dT:0 Mean4:4"}));
    EXPECT_FALSE(view->scriptList().isModified());
    EXPECT_EQ(view->window()->windowTitle(), path);
    EXPECT_EQ(view->positionBar()->maximum(), 640);
    EXPECT_EQ(view->barCountLabel()->text(), QStringLiteral("/41"));
    EXPECT_TRUE(playback->isSongOpen());
    EXPECT_NE(view->loadedMeter(), nullptr);
}

TEST_F(PlaybackTest, FailedOpenLeavesNoSong)
{
    const QString path = song(4, 2, 64);
    device->setFailure(Op::Open, std::string("開けません"));
    load(path);
    EXPECT_EQ(view->window()->windowTitle(), QStringLiteral("無題"));
    EXPECT_EQ(MessageBox::shownTexts(), QStringList{QStringLiteral("開けません")});
    view->runCommand(cmd::Start);
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_FALSE(playback->isTimerRunning());
}

TEST_F(PlaybackTest, CountsBeatsAndBarsInFourFour)
{
    load(song(4, 2, 640));
    view->runCommand(cmd::Start);
    EXPECT_TRUE(playback->isPerforming());
    EXPECT_TRUE(playback->isTimerRunning());
    EXPECT_EQ(device->calls().back(), (FakeSequencer::Call{Op::PlayFrom, 0, {}}));
    EXPECT_EQ(bar(), QStringLiteral("1"));
    EXPECT_EQ(beat(), QStringLiteral("1"));

    ticks(3);
    EXPECT_EQ(beat(), QStringLiteral("4"));
    EXPECT_EQ(view->positionBar()->value(), 0);
    ticks(1);
    EXPECT_EQ(bar(), QStringLiteral("2"));
    EXPECT_EQ(beat(), QStringLiteral("1"));
    EXPECT_EQ(view->positionBar()->value(), 16);
}

TEST_F(PlaybackTest, PauseAndResumeAtTheStartOfTheBeat)
{
    load(song(4, 2, 640));
    view->runCommand(cmd::Start);
    device->setPosition(74);  // bar 5, beat 3, half a beat in
    view->runCommand(cmd::Pause);
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_TRUE(playback->isPerforming());
    EXPECT_EQ(playback->currentPosition(), 74);

    device->clearCalls();
    view->runCommand(cmd::Start);
    EXPECT_EQ(device->calls(), (std::vector<FakeSequencer::Call>{
                                   {Op::Position, 0, {}}, {Op::Seek, 72, {}}, {Op::Play, 0, {}}}));
    EXPECT_EQ(bar(), QStringLiteral("5"));
    EXPECT_EQ(beat(), QStringLiteral("3"));
    EXPECT_TRUE(playback->isTimerRunning());
}

TEST_F(PlaybackTest, ResumeInThreeFourSeeksTheBeatNotFourQuartersABar)
{
    load(song(3, 2, 1200));
    view->runCommand(cmd::Start);
    device->setPosition(4 * 3 * 4 + 4);  // bar 5, beat 2 of a 3/4 song
    view->runCommand(cmd::Pause);
    view->runCommand(cmd::Start);
    EXPECT_EQ(bar(), QStringLiteral("5"));
    EXPECT_EQ(beat(), QStringLiteral("2"));
    EXPECT_EQ(playback->currentPosition(), 52);
}

TEST_F(PlaybackTest, StartDuringPlaybackLeavesOneTimer)
{
    load(song(4, 2, 640));
    view->runCommand(cmd::Start);
    view->runCommand(cmd::Start);
    view->runCommand(cmd::Start);
    EXPECT_TRUE(playback->isTimerRunning());
    // Ticks posted by the first timers are dropped; only the running one counts.
    ticks(1);
    EXPECT_EQ(beat(), QStringLiteral("2"));
}

TEST_F(PlaybackTest, EndThenStartPlaysFromTheTop)
{
    load(song(4, 2, 640));
    view->runCommand(cmd::Start);
    ticks(9);
    view->runCommand(cmd::End);
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_FALSE(playback->isTimerRunning());
    EXPECT_EQ(bar(), QStringLiteral("3"));  // the displays stay
    view->runCommand(cmd::Start);
    EXPECT_EQ(bar(), QStringLiteral("1"));
    EXPECT_EQ(beat(), QStringLiteral("1"));
}

TEST_F(PlaybackTest, SongEndStopsTheClockAtTheRealEnd)
{
    load(song(3, 2, 48));  // four bars of 3/4
    view->runCommand(cmd::Start);
    ticks(11);
    EXPECT_TRUE(playback->isPerforming());
    ticks(1);
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !playback->isTimerRunning(); }, 2000));
    EXPECT_EQ(view->positionBar()->value(), 48);
}

TEST_F(PlaybackTest, LyricFollowStampsTheBeat)
{
    view->scriptList().assign({"h0", "h1", "h2", "h3", "l4", "l5", "l6", "l7", "l8", "l9", "lyric", "next"});
    view->scriptList().setModified(false);
    ScriptListView *list = view->listView();
    // No song counted yet: a press stamps nothing.
    view->selectLine(10);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(view->scriptList().count(), 12);

    load(song(4, 2, 640));
    ASSERT_TRUE(playback->isSongOpen());
    view->scriptList().assign({"h0", "h1", "h2", "h3", "l4", "l5", "l6", "l7", "l8", "l9", "lyric", "next"});
    view->runCommand(cmd::Start);
    ticks(16 * 4 + 2);  // bar 17, beat 3
    view->selectLine(10);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(view->scriptList().text(10), "@WAIT(17,96);");
    EXPECT_EQ(view->scriptList().text(11), "lyric");
    EXPECT_EQ(view->selectedIndex(), 12);

    // On the last line: the stamp goes before it and nothing stays selected.
    view->selectLine(view->scriptList().count() - 1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(view->scriptList().text(12), "@WAIT(17,96);");
    EXPECT_EQ(view->selectedIndex(), -1);

    // Other keys never change the list.
    const int count = view->scriptList().count();
    view->selectLine(3);
    QTest::keyClick(list, Qt::Key_A);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(view->scriptList().count(), count);
}

TEST_F(PlaybackTest, MidiLoadDuringPerformanceEndsItFirst)
{
    load(song(4, 2, 640));
    view->runCommand(cmd::Start);
    view->scriptList().append("tapped");  // the author's work since the load
    device->clearCalls();
    MessageBox::setNextAnswer(MessageBox::Discard);
    load(song(3, 2, 120));
    EXPECT_EQ(MessageBox::shownTexts().size(), 1);
    EXPECT_FALSE(playback->isPerforming());
    EXPECT_EQ(device->ops(), (std::vector<Op>{Op::Stop, Op::Close, Op::Open, Op::Length}));
    EXPECT_EQ(view->barCountLabel()->text(), QStringLiteral("/11"));

    // Cancel at the question: nothing changes.
    view->scriptList().append("more");
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
    view->runCommand(cmd::Start);
    device->clearCalls();
    bar->setSliderDown(true);
    bar->setSliderPosition(101);
    bar->setSliderDown(false);
    EXPECT_EQ(device->ops(), (std::vector<Op>{Op::Stop, Op::Seek, Op::Position, Op::Seek, Op::Play}));
    EXPECT_EQ(device->calls()[3].argument, 100);
    EXPECT_EQ(bar->value(), 101);
    EXPECT_EQ(playback->beat(), (BarBeat{7, 2}));
    EXPECT_TRUE(playback->isTimerRunning());
}

TEST_F(PlaybackTest, DeviceErrorsAreShownAndPlaybackGoesOn)
{
    load(song(4, 2, 640));
    device->setFailure(Op::PlayFrom, std::string("再生できません"));
    view->runCommand(cmd::Start);
    EXPECT_EQ(MessageBox::shownTexts(), QStringList{QStringLiteral("再生できません")});
    EXPECT_TRUE(playback->isTimerRunning());
}

TEST_F(PlaybackTest, ClosingTheFormStopsTheTimer)
{
    load(song(4, 2, 640));
    view->runCommand(cmd::Start);
    view.reset();  // must not crash or leave a tick behind
    QCoreApplication::processEvents();
    SUCCEED();
}
