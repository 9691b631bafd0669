// The author's whole road with the real sequencer (FluidSynth, file driver):
// load the demo song and its lyrics, play, tap the space bar, save.
#include "midi/TimingSongs.h"
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "midi/LyricFollow.h"
#include "midi/SongTimeline.h"
#include "platform/FluidSynthSequencer.h"
#include "script/ScriptFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace velkan;

namespace {
const QString kExamples = QStringLiteral(VELKAN_TEST_DATA "/../../examples");
}

class EndToEndTest : public velkan::test::SeamedTest {};

TEST_F(EndToEndTest, TapLyricsAlongTheDemoSongAndSave)
{
    ::setenv("VELKAN_AUDIO_DRIVER", "file", 1);
    if (FluidSynthSequencer::findSoundFont().empty())
        GTEST_SKIP() << "no SoundFont: sudo apt-get install timgm6mb-soundfont";

    VelkanView view;
    view.show();
    FileDialog::setNextFileName(kExamples + QStringLiteral("/demo.mid"));
    test::triggerAction(&view, "actionMidiLoad");
    ASSERT_TRUE(MessageBox::shownTexts().isEmpty())
        << MessageBox::shownTexts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(view.scriptList().lines(),
              (std::vector<ScriptLine>{"dT:0 Mean4:4", "dT:0 Tempo:500", "dT:32 Tempo:625"}));
    EXPECT_EQ(view.barCountLabel()->text(), QStringLiteral("/17"));

    FileDialog::setNextFileName(kExamples + QStringLiteral("/demo.txt"));
    test::triggerAction(&view, "actionLyricsLoad");
    ASSERT_EQ(view.scriptList().count(), 4 + 8 + 1);

    view.selectLine(4);
    test::triggerAction(&view, "actionStart");
    ScriptListView *list = view.listView();
    ASSERT_TRUE(list->hasFocus() || QTest::qWaitFor([&] { return list->hasFocus(); }));

    // Tap the first lyric on bar 1 and the second as bar 2 begins.
    QTest::keyClick(list, Qt::Key_Space);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return view.barBox()->text() == QStringLiteral("2"); }, 5000));
    QTest::keyClick(list, Qt::Key_Space);
    test::triggerAction(&view, "actionEnd");

    EXPECT_EQ(view.scriptList().text(4), "@WAIT(1,0);");
    EXPECT_EQ(view.scriptList().text(6).rfind("@WAIT(2,", 0), 0u) << view.scriptList().text(6);
    EXPECT_EQ(view.selectedIndex(), 8);

    const QString out = m_dir.filePath(QStringLiteral("demo.wrd"));
    FileDialog::setNextFileName(out);
    test::triggerAction(&view, "actionWrdSave");
    EXPECT_EQ(readFile(out), joinScriptLines(view.scriptList().lines()));
}

// Taps through the form while FluidSynth plays: each stamp is the beat the
// sequencer is playing at the press, for songs whose tempo and meter maps
// broke the old clock. A tap is made only in a sixteenth that lies inside one
// beat, and counted only when the device reports the same sixteenth before
// and after it, so the expected beat is the device's, not the clock's.
namespace {

struct TapSong {
    const char *name;
    std::string bytes; // empty: read from `path`
    QString path;      // under the shared corpus
    double seconds;    // how long to tap along
};

void PrintTo(const TapSong &song, std::ostream *os)
{
    *os << song.name;
}

} // namespace

class TapAlongTest : public velkan::test::SeamedTest,
                     public ::testing::WithParamInterface<TapSong> {};

TEST_P(TapAlongTest, EveryStampIsTheBeatTheSequencerIsPlaying)
{
    ::setenv("VELKAN_AUDIO_DRIVER", "file", 1);
    if (FluidSynthSequencer::findSoundFont().empty())
        GTEST_SKIP() << "no SoundFont: sudo apt-get install timgm6mb-soundfont";
    TapSong song = GetParam();
    if (song.bytes.empty()) {
        const QString path = QStringLiteral(VELKAN_SHARED_DIR "/midi-corpus/") + song.path;
        song.bytes = readFile(path);
        if (song.bytes.empty())
            GTEST_SKIP() << "the shared corpus is not beside the checkout";
    }
    const auto timeline = SongTimeline::fromSmf(song.bytes);
    ASSERT_TRUE(timeline);

    VelkanView view;
    view.show();
    FileDialog::setNextFileName(writeTemp(QStringLiteral("song.mid"), song.bytes));
    test::triggerAction(&view, "actionMidiLoad");
    ASSERT_TRUE(MessageBox::shownTexts().isEmpty())
        << MessageBox::shownTexts().join(QLatin1Char('\n')).toStdString();
    std::vector<ScriptLine> lines{"h0", "h1", "h2", "h3"};
    for (int i = 0; i < 40; ++i)
        lines.push_back("lyric " + std::to_string(i));
    view.document().assign(lines);
    view.selectLine(4);
    test::triggerAction(&view, "actionStart");
    ScriptListView *list = view.listView();
    Sequencer &device = view.playback()->sequencer();
    const auto beatOfSixteenth = [&](std::int32_t s) {
        return timeline->beatAt(timeline->tickOfSixteenth(s));
    };

    struct Tap {
        std::int32_t sixteenth;
        bool exact; // the device stood in one sixteenth all through the press
    };
    std::vector<Tap> taps;
    std::int32_t lastTapped = -1;
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int>(song.seconds * 1000));
    while (std::chrono::steady_clock::now() < end && taps.size() < 18) {
        const std::int32_t before = device.positionSixteenths().value;
        const BeatPlace beat = beatOfSixteenth(before);
        const bool inside = timeline->tickOfSixteenth(before) > beat.startTick &&
                            timeline->tickOfSixteenth(before + 1) < beat.endTick;
        if (!inside || beatOfSixteenth(before) == beatOfSixteenth(lastTapped)) {
            QTest::qWait(1);
            continue;
        }
        QTest::keyClick(list, Qt::Key_Space);
        const std::int32_t after = device.positionSixteenths().value;
        taps.push_back({before, after == before});
        lastTapped = before;
    }
    test::triggerAction(&view, "actionEnd");

    ASSERT_GE(taps.size(), 8u);
    int exact = 0;
    for (std::size_t k = 0; k < taps.size(); ++k) {
        SCOPED_TRACE("tap " + std::to_string(k) + " at sixteenth " +
                     std::to_string(taps[k].sixteenth));
        const BeatPlace beat = beatOfSixteenth(taps[k].sixteenth);
        const std::string expected = *lyricFollowLine(BarBeat{beat.bar, beat.beat});
        const std::string stamped(view.scriptList().text(static_cast<int>(4 + 2 * k)));
        if (taps[k].exact) {
            EXPECT_EQ(stamped, expected);
            ++exact;
        } else {
            // The device moved on during the press: this beat or the next.
            const BeatPlace next = timeline->beatAt(beat.endTick);
            EXPECT_TRUE(stamped == expected ||
                        stamped == *lyricFollowLine(BarBeat{next.bar, next.beat}))
                << stamped;
        }
    }
    EXPECT_GE(exact, 6);
}

INSTANTIATE_TEST_SUITE_P(
    Songs, TapAlongTest,
    ::testing::Values(
        TapSong{"test03", {}, QStringLiteral("music21-testPrimitive/test03.mid"), 9},
        TapSong{"test09", {}, QStringLiteral("music21-testPrimitive/test09.mid"), 9},
        TapSong{"Schubert",
                {},
                QStringLiteral("pedrolcl-dmidiplayer-examples/Schubert_Standchen.mid"),
                15},
        TapSong{"ClaireDeLune",
                {},
                QStringLiteral("tonejs-midi-test-files/debussy_claire_de_lune.mid"),
                12},
        TapSong{"TempoAndMeterInsideBars", velkan::test::tempoAndMeterInsideBars(), {}, 7},
        TapSong{"LateTempoAndSignature", velkan::test::lateTempoAndSignature(), {}, 8}),
    [](const ::testing::TestParamInfo<TapSong> &test) { return std::string(test.param.name); });
