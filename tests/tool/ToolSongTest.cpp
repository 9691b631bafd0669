#include "ToolRun.h"

#include "midi/BeatClock.h"
#include "midi/MidiBytes.h"
#include "midi/MidiReader.h"
#include "midi/SmfBuilder.h"

namespace velkan::test {
namespace {

constexpr int kDivision = 480;

// A one-track song: tempo 120, the given meters (quarter, numerator over 4),
// and a last note that ends it `sixteenths` from the start.
std::string song(std::initializer_list<std::pair<int, int>> meters, int sixteenths)
{
    TrackBuilder t;
    std::uint32_t at = 0;
    t.tempo(0, 500000);
    for (const auto &[quarter, numerator] : meters) {
        const std::uint32_t tick = static_cast<std::uint32_t>(quarter * kDivision);
        t.timeSignature(tick - at, numerator, 2);
        at = tick;
    }
    const std::uint32_t end = static_cast<std::uint32_t>(sixteenths * kDivision / 4);
    t.note(end - at, 60).endOfTrack();
    return smf(kDivision, {t});
}

// The message for a file with no bars to count: no header, or no ticks a quarter.
std::string noTimeline(const std::string &path)
{
    const std::string message =
        "MIDI ファイルとして読めません (ヘッダーがないか、分解能が 0 か SMPTE です)";
    return "velkan-tool: " + message + ": " + path + "\n";
}

TEST(ToolTempo, PrintsTheReadersLinesTheLengthAndTheBarCount)
{
    TrackBuilder conductor, notes;
    conductor.timeSignature(0, 3, 2).endOfTrack();
    notes.tempo(0, 400000).note(48 * kDivision, 60).endOfTrack(); // second track: not listed
    TrackBuilder tempoOnly, laterMeter;
    tempoOnly.tempo(0, 500000).endOfTrack();
    laterMeter.timeSignature(0, 3, 2).note(48 * kDivision, 60).endOfTrack();
    TrackBuilder threeEight;
    threeEight.timeSignature(0, 3, 3).note(6 * kDivision, 60).endOfTrack();
    struct Case {
        const char *name;
        std::string image;
        std::vector<std::string> printed;
    };
    const std::vector<Case> cases = {
        {"4/4, 640 sixteenths ends where bar 41 begins",
         song({{0, 4}}, 640),
         {"dT:0 Tempo:500", "dT:0 Mean4:4", "length 640", "/41"}},
        {"no meter counts four to the bar", song({}, 640), {"dT:0 Tempo:500", "length 640", "/41"}},
        {"3/4 of 100 bars",
         song({{0, 3}}, 1200),
         {"dT:0 Tempo:500", "dT:0 Mean4:3", "length 1200", "/101"}},
        {"4/4 then 3/4 from quarter 32",
         song({{0, 4}, {32, 3}}, 164),
         {"dT:0 Tempo:500", "dT:0 Mean4:4", "dT:32 Mean4:3", "length 164", "/12"}},
        {"rmid is unwrapped for both",
         rmid(song({{0, 4}}, 640)),
         {"dT:0 Tempo:500", "dT:0 Mean4:4", "length 640", "/41"}},
        {"length over every track, lines from the first only",
         smf(kDivision, {conductor, notes}),
         {"dT:0 Mean4:3", "length 192", "/17"}},
        // Bars are counted as the player counts them.
        {"a time signature in a later track counts, unlisted",
         smf(kDivision, {tempoOnly, laterMeter}),
         {"dT:0 Tempo:500", "length 192", "/17"}},
        {"3/8 bars are a quarter and a half",
         smf(kDivision, {threeEight}),
         {"dT:0 Mean4:3", "length 24", "/5"}},
        {"4/4 until a late first signature's bar line",
         song({{6, 3}}, 64),
         {"dT:0 Tempo:500", "dT:6 Mean4:3", "length 64", "/5"}},
    };
    ToolDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("song.mid", c.image);
        const ToolRun r = dir.run({"tempo", path});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, lf(c.printed));
        EXPECT_EQ(r.err, "");
    }
}

TEST(ToolLocate, SetsBarAndBeatAsTheBeatClock)
{
    ToolDir dir;
    const std::string changing = dir.write("changing.mid", song({{0, 4}, {32, 3}}, 640));
    const std::string plain = dir.write("plain.mid", song({}, 640));
    const std::string midBar = dir.write("mid-bar.mid", song({{0, 4}, {6, 3}}, 640));
    const std::string threeEight = dir.write(
        "three-eight.mid",
        smf(kDivision,
            {TrackBuilder().timeSignature(0, 3, 3).note(kDivision * 40, 60).endOfTrack()}));
    struct Case {
        std::string song;
        std::string quarter;
        std::string printed;
    };
    const std::vector<Case> cases = {
        {changing, "40", "bar 11 beat 3 completed 10\n"},
        {changing, "0", "bar 1 beat 1 completed 0\n"},
        {changing, "31", "bar 8 beat 4 completed 7\n"},
        {changing, "32", "bar 9 beat 1 completed 8\n"},
        {changing, "35", "bar 10 beat 1 completed 9\n"},
        {plain, "18", "bar 5 beat 3 completed 4\n"},
        {plain, "160", "bar 41 beat 1 completed 40\n"},
        {plain, "+7", "bar 2 beat 4 completed 1\n"},
        // 3/4 inside bar 2 waits for bar 3.
        {midBar, "7", "bar 2 beat 4 completed 1\n"},
        {midBar, "8", "bar 3 beat 1 completed 2\n"},
        {midBar, "11", "bar 4 beat 1 completed 3\n"},
        {threeEight, "3", "bar 3 beat 1 completed 2\n"},
        {threeEight, "4", "bar 3 beat 2 completed 2\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.song + " " + c.quarter);
        const ToolRun r = dir.run({"locate", c.song, c.quarter});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.printed);
    }
}

TEST(ToolSong, SongsThatCannotBeOpenedFailWithTheEditorsMessage)
{
    ToolDir dir;
    fs::create_directory(dir.path() / "folder");
    for (const std::string &path : {dir.file("none.mid"), dir.file("folder")}) {
        for (const std::vector<std::string> &args : {std::vector<std::string>{"tempo", path},
                                                     {"locate", path, "3"},
                                                     {"clock", path, "3"}}) {
            SCOPED_TRACE(args[0] + " " + path);
            const ToolRun r = dir.run(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "velkan-tool: 入力ファイルが開けません: " + path + "\n");
        }
    }
}

// Without a header or with no ticks a quarter there are no bars to count.
TEST(ToolSong, SongsWithoutBarsFail)
{
    ToolDir dir;
    TrackBuilder notes;
    notes.note(96, 60).endOfTrack();
    for (const std::string &image :
         {std::string("hello, world"), std::string(), smfHeader(0, 1, 0) + notes.chunk(),
          smfHeader(0, 1, 0xE250) + notes.chunk()}) {
        const std::string path = dir.write("song.mid", image);
        for (const std::vector<std::string> &args : {std::vector<std::string>{"tempo", path},
                                                     {"locate", path, "3"},
                                                     {"clock", path, "3"}}) {
            SCOPED_TRACE(args[0] + " " + std::to_string(image.size()));
            const ToolRun r = dir.run(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, noTimeline(path));
        }
    }
}

TEST(ToolSong, DemoSongShowsWhatTheEditorShows)
{
    ToolDir dir;
    const ToolRun r = dir.run({"tempo", VELKAN_EXAMPLES_DIR "/demo.mid"});
    ASSERT_EQ(r.status, 0);
    // As the editor lists it after MIDI読込, and its position display "/17".
    EXPECT_EQ(r.out,
              lf({"dT:0 Mean4:4", "dT:0 Tempo:500", "dT:32 Tempo:625", "length 256", "/17"}));
}

// On every song of the corpus the tool prints exactly what the core reads
// there: real files with meters, tempo maps, lies and damage.
TEST(ToolSong, CorpusSongsMatchTheCore)
{
    const fs::path corpus = fs::path(VELKAN_SHARED_DIR) / "midi-corpus";
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no shared corpus";
    ToolDir dir;
    int songs = 0;
    for (const auto &e : fs::recursive_directory_iterator(corpus)) {
        const std::string ext = e.path().extension().string();
        if (ext != ".mid" && ext != ".rmi" && ext != ".MID")
            continue;
        if (++songs % 4 != 0) // a spread of the corpus keeps the suite quick
            continue;
        SCOPED_TRACE(e.path().string());
        const MidiReadResult read = readMidiFile(e.path());
        const ToolRun r = dir.run({"tempo", e.path().string()});
        if (!read.timeline) {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, noTimeline(e.path().string()));
            continue;
        }
        const std::string image = readBytes(e.path());
        const std::int32_t length = songLengthSixteenths(unwrapRmid(image)).value_or(0);
        BeatClock clock;
        clock.setTimeline(std::make_shared<const SongTimeline>(*read.timeline));
        std::vector<std::string> expected = read.lines;
        expected.push_back("length " + std::to_string(length));
        expected.push_back(
            "/" + std::to_string(clock.locate(read.timeline->tickOfSixteenth(length)) + 1));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, lf(expected));
    }
    EXPECT_GT(songs, 20);
}

} // namespace
} // namespace velkan::test
