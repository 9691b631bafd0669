// What the WRD player makes of the stamps: a script of `velkan-tool clock`
// stamps, each followed by a lyric, run through TiMidity++ (skipped where it
// is not installed). Each lyric must show at the tick of its beat's start.
//
// The player prints the song time once a second. The song is played with one
// tempo of 16 s a quarter (a tempo changes the seconds but not how the player
// counts bars), so a second is 1/16 of a quarter note and the second after
// whose mark a lyric shows names its tick to within 1/16 quarter.
#include "ToolRun.h"
#include "midi/BeatClock.h"
#include "midi/LyricFollow.h"
#include "midi/MidiBytes.h"
#include "midi/SongTimeline.h"
#include "midi/TimingSongs.h"
#include "midi/TrackWalker.h"

#include <cstdio>
#include <regex>

namespace velkan::test {
namespace {

constexpr std::uint32_t kSlowTempo = 16000000;

bool hasTimidity()
{
    return std::system("command -v timidity >/dev/null 2>&1") == 0;
}

// The song with every tempo 16 s a quarter, one more at tick 0 of the first track.
std::string slowCopy(std::string smf)
{
    std::vector<std::size_t> tempoData;
    forEachTrack(smf, [&](std::string_view events) {
        TrackWalker walker(events);
        TrackWalker::MetaEvent meta;
        while (walker.nextMeta(meta)) {
            if (meta.type == 0x51 && meta.data.size() == 3)
                tempoData.push_back(static_cast<std::size_t>(meta.data.data() - smf.data()));
        }
        return true;
    });
    const std::string slow =
        bytes({int(kSlowTempo >> 16 & 0xFF), int(kSlowTempo >> 8 & 0xFF), int(kSlowTempo & 0xFF)});
    for (const std::size_t at : tempoData)
        smf.replace(at, 3, slow);
    const std::size_t firstTrack = smf.find("MTrk");
    const std::string tempo = bytes({0, 0xFF, 0x51, 3}) + slow;
    const std::uint32_t length =
        static_cast<std::uint32_t>(static_cast<unsigned char>(smf[firstTrack + 4]) << 24 |
                                   static_cast<unsigned char>(smf[firstTrack + 5]) << 16 |
                                   static_cast<unsigned char>(smf[firstTrack + 6]) << 8 |
                                   static_cast<unsigned char>(smf[firstTrack + 7]));
    smf.replace(firstTrack + 4, 4, be32(length + static_cast<std::uint32_t>(tempo.size())));
    smf.insert(firstTrack + 8, tempo);
    return smf;
}

// Runs the player on SONG.mid and its SONG.wrd; the second each lyric "L<n>"
// shows in, read from its trace until all `count` have shown.
std::vector<int> lyricSeconds(const std::string &song, int count)
{
    const std::string cfg = fs::path(song).parent_path() / "tim.cfg";
    writeBytes(cfg, "soundfont /usr/share/sounds/sf2/default-GM.sf2\n");
    const std::string command = "timidity -c '" + cfg +
                                "' -Os -o null -s 22050 -Wd -idvt -t nocnv '" + song +
                                "' 2>/dev/null";
    std::vector<int> seconds(static_cast<std::size_t>(count), -1);
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return seconds;
    std::string trace;
    char buffer[4096];
    int found = 0;
    int second = -1;
    std::size_t scanned = 0;
    const std::regex token(R"((\d+):(\d\d)|L(\d+))");
    while (found < count) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe);
        if (got == 0)
            break;
        trace.append(buffer, got);
        // Scan whole lines only, from the script's first event on.
        const std::size_t setup = trace.find("@STARTUP(");
        const std::size_t lineEnd = trace.find_last_of("\r\n");
        if (setup == std::string::npos || lineEnd == std::string::npos || lineEnd <= setup)
            continue;
        scanned = std::max(scanned, setup);
        const std::string part = trace.substr(scanned, lineEnd - scanned);
        for (std::sregex_iterator it(part.begin(), part.end(), token), end; it != end; ++it) {
            if ((*it)[3].matched) {
                const int n = std::stoi((*it)[3]);
                if (n < count && seconds[static_cast<std::size_t>(n)] < 0) {
                    seconds[static_cast<std::size_t>(n)] = second;
                    ++found;
                }
            } else {
                second = std::stoi((*it)[1]) * 60 + std::stoi((*it)[2]);
            }
        }
        scanned = lineEnd;
    }
    ::pclose(pipe);
    return seconds;
}

struct PlayerSong {
    const char *name;
    std::string bytes; // empty: read from `path` under the shared corpus
    const char *path;
    int beats; // stamps over the first this many beats
};

void PrintTo(const PlayerSong &song, std::ostream *os)
{
    *os << song.name;
}

class ToolPlayerTest : public ::testing::TestWithParam<PlayerSong> {};

TEST_P(ToolPlayerTest, ThePlayerShowsEachLyricAtItsStamp)
{
    if (!hasTimidity())
        GTEST_SKIP() << "TiMidity++ is not installed";
    PlayerSong song = GetParam();
    if (song.bytes.empty()) {
        song.bytes = readBytes(fs::path(VELKAN_SHARED_DIR) / "midi-corpus" / song.path);
        if (song.bytes.empty())
            GTEST_SKIP() << "no shared corpus";
    }
    const auto timeline = SongTimeline::fromSmf(song.bytes);
    ASSERT_TRUE(timeline);

    // A press 40 % into every beat of the first `beats`, all before the
    // song's end (where the clock stops).
    const std::int64_t songEnd =
        songEndTick(*timeline, 0, songLengthSixteenths(song.bytes).value_or(0));
    ToolDir dir;
    const std::string path = dir.write("song.mid", song.bytes);
    std::vector<std::string> args{"clock", path};
    std::vector<std::int64_t> moments;
    std::int64_t tick = 0;
    for (int n = 0; n < song.beats; ++n) {
        const BeatPlace beat = timeline->beatAt(tick);
        if (beat.endTick > songEnd)
            break;
        const std::int64_t start = timeline->nanosAt(beat.startTick);
        moments.push_back(start + (timeline->nanosAt(beat.endTick) - start) * 2 / 5);
        char ms[32];
        std::snprintf(ms, sizeof ms, "%.3f", static_cast<double>(moments.back()) / 1e6);
        args.push_back(ms);
        tick = beat.endTick;
    }
    ASSERT_GE(moments.size(), 20u);
    const ToolRun run = dir.run(args);
    ASSERT_EQ(run.status, 0) << run.err;

    std::vector<std::string> stamps;
    std::string script = "@STARTUP(427);\r\n@WMODE(23);\r\n";
    std::size_t from = 0;
    for (std::size_t n = 0; n < moments.size(); ++n) {
        const std::size_t end = run.out.find('\n', from);
        ASSERT_NE(end, std::string::npos);
        stamps.push_back(run.out.substr(from, end - from));
        from = end + 1;
        const BeatPlace beat = timeline->beatAt(timeline->tickAt(moments[n] / 1000 * 1000));
        ASSERT_EQ(stamps.back(), *lyricFollowLine(BarBeat{beat.bar, beat.beat})) << "press " << n;
        script += stamps.back() + "\r\nL" + std::to_string(n) + ";\r\n";
    }

    const std::string slow = dir.write("slow.mid", slowCopy(song.bytes));
    dir.write("slow.wrd", script);
    const std::vector<int> shown = lyricSeconds(slow, static_cast<int>(stamps.size()));
    for (std::size_t n = 0; n < stamps.size(); ++n) {
        int bar = 0, step = 0;
        ASSERT_EQ(std::sscanf(stamps[n].c_str(), "@WAIT(%d,%d);", &bar, &step), 2);
        // The beat's start, as the editor's timeline puts it.
        const std::int64_t beatTick = timeline->tickOf({bar, step});
        EXPECT_EQ(beatTick, timeline->beatAt(beatTick).startTick);
        // An event on a second's boundary is shown before that second's
        // mark: it shows in second ceil(t) - 1 (-1: before the first mark).
        const std::int64_t division = timeline->division();
        EXPECT_EQ(shown[n], (beatTick * 16 + division - 1) / division - 1)
            << stamps[n] << " (L" << n << ") at tick " << beatTick;
    }
}

// A new script's header ends in ";", so the player does not move time on after
// it: a lyric stamped on the first beat shows there, not a quarter later.
TEST(ToolPlayer, ANewScriptsHeaderLeavesTheFirstBeatToTheLyrics)
{
    if (!hasTimidity())
        GTEST_SKIP() << "TiMidity++ is not installed";
    ToolDir dir;
    const std::string lyrics = dir.write("lyrics.txt", "L0\r\nL1\r\n");
    const ToolRun made = dir.run({"new", lyrics});
    ASSERT_EQ(made.status, 0) << made.err;
    // The header, then a stamp before each lyric: the first beat, and beat 3.
    std::string script = made.out;
    const std::size_t first = script.find("L0\r\n");
    ASSERT_NE(first, std::string::npos);
    script.insert(script.find("L1\r\n"), "@WAIT(1,96);\r\n");
    script.insert(first, "@WAIT(1,0);\r\n");

    TrackBuilder track;
    track.note(0, 60).endOfTrack(8 * 480);
    const std::string song = dir.write("song.mid", slowCopy(smf(480, {track})));
    dir.write("song.wrd", script);
    // 16 s a quarter: the first beat is before the first second's mark, beat 3 at 32 s.
    EXPECT_EQ(lyricSeconds(song, 2), (std::vector<int>{-1, 31}));
}

// A script of a karaoke song's own lyrics: each line shows at the tick of
// the song's first lyric event of that line. The song's own lyric events are
// "/L" and the line's number a half beat later, so only the script's line
// names its number at the line's first tick. Bars change from 4/4 to 3/4.
TEST(ToolPlayer, ALyricsScriptShowsEachLineAtItsFirstLyric)
{
    if (!hasTimidity())
        GTEST_SKIP() << "TiMidity++ is not installed";
    const std::vector<std::uint32_t> lineTicks = {250, 1010, 2410, 3390};
    for (const bool kar : {false, true}) {
        SCOPED_TRACE(kar ? "KAR text events" : "lyric events");
        TrackBuilder map, notes, words;
        map.timeSignature(0, 4, 2).timeSignature(4 * 480, 3, 2).endOfTrack();
        for (int quarter = 0; quarter < 10; ++quarter) // sounding to the end
            notes.note(quarter ? 10 : 0, 60).event(470, bytes({0x80, 60, 0}));
        notes.endOfTrack();
        if (kar)
            words.text(0, "@KMIDI KARAOKE FILE");
        std::uint32_t at = 0;
        for (std::size_t n = 0; n < lineTicks.size(); ++n) {
            const int type = kar ? 0x01 : 0x05;
            words.meta(lineTicks[n] - at, type, "/L").meta(240, type, std::to_string(n));
            at = lineTicks[n] + 240;
        }
        words.endOfTrack();
        ToolDir dir;
        const std::string song = dir.write("song.mid", slowCopy(smf(480, {map, notes, words})));
        const ToolRun made = dir.run({"lyrics", song, "-o", dir.file("song.wrd")});
        ASSERT_EQ(made.status, 0) << made.err;
        std::vector<int> expected;
        for (const std::uint32_t tick : lineTicks)
            expected.push_back(static_cast<int>((tick * 16 + 479) / 480) - 1);
        EXPECT_EQ(lyricSeconds(song, static_cast<int>(lineTicks.size())), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Songs, ToolPlayerTest,
    ::testing::Values(
        PlayerSong{"test03", {}, "music21-testPrimitive/test03.mid", 40},
        PlayerSong{"test09", {}, "music21-testPrimitive/test09.mid", 40},
        PlayerSong{"Schubert", {}, "pedrolcl-dmidiplayer-examples/Schubert_Standchen.mid", 40},
        // 733 tempo events, far past the 200 the dT lines list
        PlayerSong{"ClaireDeLune", {}, "tonejs-midi-test-files/debussy_claire_de_lune.mid", 60},
        PlayerSong{"TempoAndMeterInsideBars", tempoAndMeterInsideBars(), "", 40},
        PlayerSong{"LateTempoAndSignature", lateTempoAndSignature(), "", 40}),
    [](const ::testing::TestParamInfo<PlayerSong> &test) { return std::string(test.param.name); });

} // namespace
} // namespace velkan::test
