// Every file of the shared MIDI corpus (malformed headers, lying lengths,
// SMPTE division, RMID, hundreds of tempo events, real songs) through the
// form's own MIDI load with the FluidSynth device: a message or a working
// song, never a crash or a hang.
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "midi/MidiReader.h"
#include "platform/FluidSynthSequencer.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>

using namespace velkan;
using velkan::test::SeamedTest;
namespace fs = std::filesystem;

namespace {

// Generous for a machine shared by several builds; a hang would take forever.
constexpr auto kPerFile = std::chrono::seconds(15);

std::vector<fs::path> corpusFiles()
{
    std::vector<fs::path> files;
    const fs::path root = fs::path(VELKAN_SHARED_DIR) / "midi-corpus";
    if (!fs::is_directory(root))
        return files;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const auto ext = entry.path().extension();
        if (entry.is_regular_file() && ext != ".txt" && ext != ".tsv")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class HostileMidiTest : public SeamedTest {};

} // namespace

TEST_F(HostileMidiTest, EveryCorpusFileLoadsAsASongOrAMessage)
{
    const std::vector<fs::path> files = corpusFiles();
    if (files.empty())
        GTEST_SKIP() << "no MIDI corpus beside the checkout";
    if (FluidSynthSequencer::findSoundFont().empty())
        GTEST_SKIP() << "no SoundFont installed";
    setenv("VELKAN_AUDIO_DRIVER", "file", 1);
    Playback::setSequencerFactory({});

    VelkanView view;
    view.show();
    Playback &playback = *view.playback();
    int songs = 0;
    for (const fs::path &file : files) {
        SCOPED_TRACE(file.string());
        MessageBox::clearShown();
        const auto started = std::chrono::steady_clock::now();

        const std::vector<ScriptLine> before = view.scriptList().lines().toVector();
        const QString pathBefore = playback.songPath();
        const bool songBefore = playback.isSongOpen();
        MessageBox::setNextAnswer(MessageBox::Discard);
        FileDialog::setNextFileName(QString::fromStdString(file.string()));
        test::triggerAction(&view, "actionMidiLoad");

        const QString title = QString::fromStdString(file.string());
        if (playback.songPath() == title && playback.isSongOpen()) {
            ++songs;
            // The list holds one line per tempo and meter change the reader found.
            const MidiReadResult read = readMidiFile(file);
            EXPECT_TRUE(view.scriptList().lines() == read.lines);
            EXPECT_GE(playback.songLength(), 0);
            EXPECT_EQ(view.positionBar()->maximum(), playback.songLength());
            EXPECT_TRUE(view.barCountLabel()->text().startsWith(u'/'));
            // A working song plays, pauses, resumes and ends.
            test::triggerAction(&view, "actionStart");
            EXPECT_TRUE(playback.isTimerRunning() || !playback.isPerforming());
            QTest::qWait(30);
            test::triggerAction(&view, "actionPause");
            test::triggerAction(&view, "actionStart");
            QTest::qWait(10);
            test::triggerAction(&view, "actionEnd");
            EXPECT_FALSE(playback.isTimerRunning());
        } else {
            // Refused with a message; the song and the script before it stay.
            EXPECT_FALSE(MessageBox::shownTexts().isEmpty()) << "no song and no message";
            EXPECT_EQ(view.scriptList().lines().toVector(), before);
            EXPECT_EQ(playback.songPath(), pathBefore);
            EXPECT_EQ(playback.isSongOpen(), songBefore);
        }
        for (const QString &text : MessageBox::shownTexts())
            EXPECT_FALSE(text.trimmed().isEmpty()) << "an empty message";
        EXPECT_LT(std::chrono::steady_clock::now() - started, kPerFile);
    }
    // The corpus holds real songs: most of them must play.
    EXPECT_GT(songs, static_cast<int>(files.size()) / 2);
    RecordProperty("songs", songs);
}
