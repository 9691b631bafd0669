// Buttons pressed as fast as a hand can press them while the beat timer really
// runs: Start, Pause, End, thumb drags and releases, MIDI loads and lyric-follow
// taps in random order against a timer ticking every 5 ms. Run under TSan
// (./test.sh --tsan) this is the data-race check of the playback controller.
#include "midi/SmfBuilder.h"
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "midi/LyricFollow.h"
#include "platform/FakeSequencer.h"
#include "platform/FluidSynthSequencer.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

using namespace velkan;
using velkan::test::SeamedTest;
using velkan::test::TrackBuilder;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kFastTempoUs = 5000; // a quarter note every 5 ms
constexpr int kDivision = 480;

// Threads that carry the program's own name: the UI thread, the beat timer's,
// and those the runtime or a library started unnamed. Qt names its own.
int unnamedThreads()
{
    std::ifstream self("/proc/self/comm");
    std::string name;
    std::getline(self, name);
    int count = 0;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string threadName;
        if (std::getline(comm, threadName) && threadName == name)
            ++count;
    }
    return count;
}

// Threads counted as above once those just joined are gone: a thread's entry
// under /proc can outlive its join by a moment, so a count over `limit` is
// taken again for up to 100 ms before it stands.
int settledUnnamedThreads(int limit)
{
    int count = unnamedThreads();
    for (int tries = 0; count > limit && tries < 50; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        count = unnamedThreads();
    }
    return count;
}

std::string threadNames()
{
    std::string names;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string threadName;
        std::getline(comm, threadName);
        names += threadName + "; ";
    }
    return names;
}

// A song of `quarters` quarter notes at 5 ms each, 3/4 for its first 48
// quarters and 4/4 at 6 ms after that, with a note on every quarter.
std::string fastSong(int quarters)
{
    TrackBuilder t;
    t.tempo(0, kFastTempoUs).timeSignature(0, 3, 2);
    for (int q = 0; q < quarters; ++q) {
        if (q == 48)
            t.tempo(0, 6000).timeSignature(0, 4, 2);
        t.note(0, 60 + q % 12).event(kDivision, test::bytes({0x80, 60 + q % 12, 0}));
    }
    t.endOfTrack(0);
    return test::smf(kDivision, {t});
}

class PlaybackStress : public SeamedTest {
protected:
    void TearDown() override
    {
        view.reset();
        Playback::setSequencerFactory({});
        SeamedTest::TearDown();
    }

    void makeView()
    {
        view = std::make_unique<VelkanView>();
        view->show();
        playback = view->playback();
        songs = {writeTemp(QStringLiteral("long.mid"), fastSong(1200)),
                 writeTemp(QStringLiteral("short.mid"), fastSong(160))};
    }

    void loadSong(int i)
    {
        MessageBox::setNextAnswer(MessageBox::Discard);
        FileDialog::setNextFileName(songs[static_cast<std::size_t>(i)]);
        test::triggerAction(view, "actionMidiLoad");
    }

    // One random press. Returns what it was, for the failure message.
    const char *randomAction(std::mt19937 &rng)
    {
        QScrollBar *bar = view->positionBar();
        switch (rng() % 13) {
        case 0:
        case 1:
            test::triggerAction(view, "actionStart");
            return "start";
        case 2:
            test::triggerAction(view, "actionPause");
            return "pause";
        case 3:
            test::triggerAction(view, "actionEnd");
            return "end";
        case 4:
        case 5:
            bar->setSliderDown(true);
            bar->setSliderPosition(static_cast<int>(rng() % (bar->maximum() + 1u)));
            return "drag";
        case 6:
            if (bar->isSliderDown())
                bar->setSliderDown(false);
            return "release";
        case 7:
            if (rng() % 4 == 0) {
                if (bar->isSliderDown())
                    bar->setSliderDown(false);
                loadSong(static_cast<int>(rng() % 2));
                return "midi load";
            }
            return "nothing";
        case 8:
        case 9: {
            const int count = view->scriptList().count();
            if (count > 0)
                view->selectLine(static_cast<int>(rng() % static_cast<unsigned>(count)));
            QTest::keyClick(view->listView(), Qt::Key_Space);
            return "lyric tap";
        }
        case 10: {
            // Close to the song's end, so that its end races the next presses.
            const int near = bar->maximum() - static_cast<int>(rng() % 24);
            bar->setSliderDown(true);
            bar->setSliderPosition(std::max(near, 0));
            bar->setSliderDown(false);
            return "jump to the end";
        }
        default:
            QTest::qWait(static_cast<int>(rng() % 12));
            return "wait";
        }
    }

    // Presses at random for `duration`; returns the number of presses.
    int hammer(Clock::duration duration, unsigned seed)
    {
        std::mt19937 rng(seed);
        // One start and end first, so that the threads the runtime starts
        // lazily with the first thread of the program are counted.
        test::triggerAction(view, "actionStart");
        QTest::qWait(20);
        test::triggerAction(view, "actionEnd");
        EXPECT_FALSE(playback->isTimerRunning());
        const int baseline = unnamedThreads();
        const auto end = Clock::now() + duration;
        int presses = 0;
        while (Clock::now() < end) {
            const char *what = randomAction(rng);
            QCoreApplication::processEvents();
            ++presses;
            // Whatever ended the performance (End, the song's end racing a
            // press) took the beat timer with it.
            if (!QTest::qWaitFor(
                    [&] { return playback->isPerforming() || !playback->isTimerRunning(); }, 500)) {
                ADD_FAILURE() << "a beat timer runs with no performance after " << what
                              << " (press " << presses << ")";
                break;
            }
            const int threads = settledUnnamedThreads(baseline + 1);
            if (threads > baseline + 1) {
                ADD_FAILURE() << "two beat timers after " << what << " (press " << presses
                              << "): " << threads << " threads, " << baseline
                              << " before: " << threadNames();
                break;
            }
        }
        return presses;
    }

    // Lets the song run a little, pauses and settles: the bar and beat boxes
    // must then show the clock the next lyric-follow tap would stamp.
    void expectBoxesShowTheClock()
    {
        QScrollBar *bar = view->positionBar();
        if (bar->isSliderDown())
            bar->setSliderDown(false);
        test::triggerAction(view, "actionStart");
        QTest::qWait(60);
        test::triggerAction(view, "actionPause");
        QTest::qWait(20);
        QCoreApplication::processEvents();
        ASSERT_FALSE(playback->isTimerRunning());
        const BarBeat paused = playback->beat();
        EXPECT_EQ(view->barBox()->text(), QString::number(paused.bar));
        EXPECT_EQ(view->beatBox()->text(), QString::number(paused.beat));
        EXPECT_GE(paused.bar, 1);
        // The stamp of a tap is the beat the boxes show.
        view->document().insertLine(-1, "lyric", {}, ScriptDocument::kKeepSelection);
        view->selectLine(view->scriptList().count() - 1);
        QTest::keyClick(view->listView(), Qt::Key_Space);
        EXPECT_EQ(view->scriptList().text(view->scriptList().count() - 2),
                  *lyricFollowLine(paused));

        test::triggerAction(view, "actionEnd");
        QCoreApplication::processEvents();
        EXPECT_FALSE(playback->isPerforming());
        EXPECT_FALSE(playback->isTimerRunning());
    }

    // Every stamp the taps made is a timing line of a counted beat.
    void expectStampsAreTimingLines()
    {
        int stamps = 0;
        for (const std::string_view bytes : view->scriptList().lines()) {
            const ScriptLine line(bytes);
            if (!line.starts_with("@WAIT("))
                continue;
            ++stamps;
            int barNo = 0, step = 0;
            ASSERT_EQ(std::sscanf(line.c_str(), "@WAIT(%d,%d);", &barNo, &step), 2) << line;
            EXPECT_GE(barNo, 1) << line;
            EXPECT_TRUE(step >= 0 && step < 192 && step % 48 == 0) << line;
        }
        RecordProperty("stamps", stamps);
    }

    std::unique_ptr<VelkanView> view;
    Playback *playback = nullptr;
    std::vector<QString> songs;
};

unsigned seedFromEnvironment()
{
    const char *s = std::getenv("VELKAN_STRESS_SEED");
    return s ? static_cast<unsigned>(std::strtoul(s, nullptr, 10)) : std::random_device{}();
}

} // namespace

TEST_F(PlaybackStress, FakeDeviceAndRealTimerFor20Seconds)
{
    const auto started = Clock::now();
    Playback::setSequencerFactory([started] {
        auto fake = std::make_unique<FakeSequencer>();
        fake->setSongLength(1200 * 4);
        // The device plays on in real time: 4 sixteenths per 5 ms.
        fake->setAdvance([started] {
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
            return static_cast<std::int32_t>(ms.count() * 4 / 5);
        });
        return fake;
    });
    makeView();
    loadSong(0);
    ASSERT_TRUE(playback->isSongOpen());

    const unsigned seed = seedFromEnvironment();
    SCOPED_TRACE("VELKAN_STRESS_SEED=" + std::to_string(seed));
    const int presses = hammer(std::chrono::seconds(20), seed);
    EXPECT_GT(presses, 100);
    expectBoxesShowTheClock();
    expectStampsAreTimingLines();
}

// Start and a thumb release pressed right as the song ends, hundreds of times:
// whatever wins, a timer never runs without a performance, and a jump during
// a performance never becomes a start from the top.
TEST_F(PlaybackStress, PressesRightAtTheSongsEnd)
{
    FakeSequencer *device = nullptr;
    Playback::setSequencerFactory([&device] {
        auto fake = std::make_unique<FakeSequencer>();
        fake->setSongLength(16); // one bar
        device = fake.get();
        return fake;
    });
    view = std::make_unique<VelkanView>();
    view->show();
    playback = view->playback();
    // One bar of 4/4 at 5 ms a quarter: the song ends 20 ms after Start.
    TrackBuilder t;
    t.tempo(0, kFastTempoUs).timeSignature(0, 4, 2).note(0, 60).endOfTrack(4 * kDivision);
    songs = {writeTemp(QStringLiteral("bar.mid"), test::smf(kDivision, {t}))};
    loadSong(0);
    ASSERT_TRUE(playback->isSongOpen());

    std::mt19937 rng(seedFromEnvironment());
    QScrollBar *bar = view->positionBar();
    int releasesFromTheTop = 0;
    for (int round = 0; round < 400; ++round) {
        test::triggerAction(view, "actionStart");
        const auto songEnd = Clock::now() + std::chrono::milliseconds(20);
        const auto pressAt =
            songEnd + std::chrono::microseconds(std::uniform_int_distribution<int>(-150, 450)(rng));
        const bool release = round % 2 == 1;
        if (release) {
            bar->setSliderDown(true);
            bar->setSliderPosition(8);
        }
        while (Clock::now() < pressAt) {
        }
        if (release) {
            device->clearCalls();
            bar->setSliderDown(false);
            // A jump resumes at the thumb, or does nothing once the song has
            // ended; it never plays the song from the top.
            const auto ops = device->ops();
            releasesFromTheTop += std::count(ops.begin(), ops.end(), FakeSequencer::Op::PlayFrom);
        } else {
            test::triggerAction(view, "actionStart");
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return playback->isPerforming() || !playback->isTimerRunning(); }, 500))
            << "a beat timer runs with no performance, round " << round;
        test::triggerAction(view, "actionEnd");
        QCoreApplication::processEvents();
        ASSERT_FALSE(playback->isTimerRunning());
    }
    EXPECT_EQ(releasesFromTheTop, 0);
}

TEST_F(PlaybackStress, FluidSynthFileDriverFor5Seconds)
{
    if (FluidSynthSequencer::findSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    // Headless and paced in real time, as on a sound card.
    setenv("VELKAN_AUDIO_DRIVER", "file", 1);
    Playback::setSequencerFactory({});
    makeView();
    loadSong(0);
    ASSERT_TRUE(playback->isSongOpen()) << MessageBox::shownTexts().join(u'\n').toStdString();

    const unsigned seed = seedFromEnvironment();
    SCOPED_TRACE("VELKAN_STRESS_SEED=" + std::to_string(seed));
    hammer(std::chrono::seconds(5), seed);
    expectBoxesShowTheClock();
    expectStampsAreTimingLines();
    // The device never failed an operation the form asked of it: the only
    // boxes are the questions before a load discards tapped stamps.
    for (const QString &text : MessageBox::shownTexts())
        EXPECT_TRUE(text.contains(QStringLiteral("保存しますか"))) << text.toStdString();
}
