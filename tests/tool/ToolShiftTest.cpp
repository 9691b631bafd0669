#include "ToolRun.h"

#include "aids/core/TimingOffset.h"
#include "midi/MidiReader.h"
#include "midi/SmfBuilder.h"
#include "script/ScriptFile.h"

namespace velkan::test {
namespace {

constexpr int kDivision = 96;

// A song of meters (quarter, numerator over 4), long enough for any bar here.
std::string meterSong(std::initializer_list<std::pair<int, int>> meters)
{
    TrackBuilder t;
    std::uint32_t at = 0;
    for (const auto &[quarter, numerator] : meters) {
        const std::uint32_t tick = static_cast<std::uint32_t>(quarter * kDivision);
        t.timeSignature(tick - at, numerator, 2);
        at = tick;
    }
    t.note(200 * kDivision, 60).endOfTrack();
    return smf(kDivision, {t});
}

std::string report(int shifted, int held)
{
    return "ずらした @WAIT 行: " + std::to_string(shifted) +
           "、曲の先頭に止めた行: " + std::to_string(held) + "\n";
}

class ToolShift : public ::testing::Test {
protected:
    ToolDir dir;
    const std::string threeFour = dir.write("three-four.mid", meterSong({{0, 3}}));
    const std::string fourFour = dir.write("four-four.mid", meterSong({{0, 4}}));
    // 4/4 for eight bars, then 3/4 from quarter 32 (bar 9) on.
    const std::string fourThenThree = dir.write("four-three.mid", meterSong({{0, 4}, {32, 3}}));
    // 4/4 until a 3/4 at quarter 14, inside bar 4: 3/4 from bar 5 on.
    const std::string lateThreeFour = dir.write("late-three-four.mid", meterSong({{14, 3}}));
    const std::string noHeader = dir.write("no-header.mid", "hello, world");
};

TEST_F(ToolShift, RewritesWaitLinesAsTheOffsetDialog)
{
    struct Case {
        const char *name;
        std::string song; // "" for none
        const char *steps;
        const char *line;
        const char *result;
        int held;
    };
    const std::vector<Case> cases = {
        {"quarter back, borrow", "", "-48", "@WAIT(12,0);", "@WAIT(11,144);", 0},
        {"quarter back", "", "-48", "@WAIT(12,96);", "@WAIT(12,48);", 0},
        {"sixteenth on, carry", "", "12", "@WAIT(12,191);", "@WAIT(13,11);", 0},
        {"plus sign as the dialog writes it", "", "+12", "@WAIT(12,180);", "@WAIT(13,0);", 0},
        {"eighth on, no step", "", "24", "@WAIT(12);", "@WAIT(12,24);", 0},
        {"carried once only", "", "12", "@WAIT(5,400);", "@WAIT(6,220);", 0},
        {"4/4 song", fourFour, "-48", "@WAIT(12,0);", "@WAIT(11,144);", 0},
        {"3/4 song, borrow a 3/4 bar", threeFour, "-48", "@WAIT(12,0);", "@WAIT(11,96);", 0},
        {"3/4 song, carry at 144", threeFour, "48", "@WAIT(12,120);", "@WAIT(13,24);", 0},
        {"borrow from the last 4/4 bar", fourThenThree, "-48", "@WAIT(9,0);", "@WAIT(8,144);", 0},
        {"carry out of a 3/4 bar", fourThenThree, "48", "@WAIT(9,120);", "@WAIT(10,24);", 0},
        {"4/4 before a late first signature", lateThreeFour, "12", "@WAIT(4,180);", "@WAIT(5,0);",
         0},
        {"3/4 from the bar line after it", lateThreeFour, "48", "@WAIT(5,120);", "@WAIT(6,24);", 0},
        {"a song without a header: 192 steps", noHeader, "48", "@WAIT(12,120);", "@WAIT(12,168);",
         0},
        {"bar 0 held at the start", "", "-48", "@WAIT(0,0);", "@WAIT(1,0);", 1},
        {"3/4 bar 1 held", threeFour, "-24", "@WAIT(1,12);", "@WAIT(1,0);", 1},
        {"negative bar held", "", "48", "@WAIT(-3,50);", "@WAIT(1,0);", 1},
        {"commands after the wait kept", "", "12", "@WAIT(12,96);@COLOR(32);",
         "@WAIT(12,108);@COLOR(32);", 0},
        {"lyric after the wait kept", "", "12", "@WAIT(12,96); \x82\xA0", "@WAIT(12,108); \x82\xA0",
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in =
            dir.write("in.wrd", std::string("@STARTUP(0);\r\n") + c.line + "\r\n");
        std::vector<std::string> args = {"shift", c.steps, in};
        if (!c.song.empty())
            args.insert(args.end(), {"--song", c.song});
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, crlf({"@STARTUP(0);", c.result}));
        EXPECT_EQ(r.err, report(1, c.held));
    }
}

TEST_F(ToolShift, TouchesOnlyWaitLinesAndCounts)
{
    // A script that begins with a lyric line gets no header: only @WAIT lines move.
    const std::string in = dir.write("in.wrd", "\x82\xA0\x82\xA2\n"
                                               "@WAIT(1,24);\n"
                                               "@WAIT(2,0);@COLOR(31);\n"
                                               "@wait(2,96);\n"
                                               " @WAIT(2,96);\n"
                                               "@WAIT(0,0);\n"
                                               "\n"
                                               "@END();\n");
    const std::string out = dir.file("out.wrd");
    const ToolRun r = dir.run({"shift", "-48", in, "-o", out, "--song", threeFour});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, report(3, 2));
    EXPECT_EQ(readBytes(out),
              crlf({"\x82\xA0\x82\xA2", "@WAIT(1,0);", "@WAIT(1,96);@COLOR(31);", "@wait(2,96);",
                    " @WAIT(2,96);", "@WAIT(1,0);", "", "@END();"}));

    const std::string none = dir.write("none.wrd", "@COLOR(32);\r\nabc\r\n");
    const ToolRun untouched = dir.run({"shift", "24", none});
    EXPECT_EQ(untouched.status, 0);
    EXPECT_EQ(untouched.out, "@COLOR(32);\r\nabc\r\n");
    EXPECT_EQ(untouched.err, report(0, 0));
}

// What the editor gives: 歌詞読込 of the text, the MIDI load of the song and
// the offset dialog, all through the core.
std::string editorResult(const std::string &lyrics, const std::string &song, int steps)
{
    LoadResult loaded = loadScriptFile(lyrics);
    const MidiReadResult read = readMidiFile(song);
    std::vector<ScriptLine> lines = loaded.lines.toVector();
    applyTimingOffset(lines, steps, BarMath(read.timeline ? &*read.timeline : nullptr));
    return joinScriptLines(lines);
}

TEST_F(ToolShift, NewThenShiftGivesTheEditorsBytes)
{
    const std::string lyrics = dir.write("lyrics.txt", "\x82\xA0\x82\xA2\n"
                                                       "@WAIT(9,0);\n"
                                                       "\x82\xA4\x82\xA6\r\n"
                                                       "@WAIT(9,120);@COLOR(33);\n"
                                                       "\n"
                                                       "@WAIT(1,10);\x1A@WAIT(5,5);\n");
    for (const char *steps : {"-48", "-12", "24", "48"}) {
        SCOPED_TRACE(steps);
        const std::string expected = editorResult(lyrics, fourThenThree, std::stoi(steps));

        ASSERT_EQ(dir.run({"new", lyrics, "-o", dir.file("mid.wrd")}).status, 0);
        const ToolRun viaFile =
            dir.run({"shift", steps, "mid.wrd", "-o", "out.wrd", "--song=" + fourThenThree});
        EXPECT_EQ(viaFile.status, 0);
        EXPECT_EQ(readBytes(dir.file("out.wrd")), expected);

        const ToolRun fresh = dir.run({"new", lyrics});
        const ToolRun viaPipe = dir.run({"shift", steps, "-", "--song", fourThenThree}, &fresh.out);
        EXPECT_EQ(viaPipe.status, 0);
        EXPECT_EQ(viaPipe.out, expected);

        // In place: the script is read whole before it is replaced.
        const ToolRun inPlace =
            dir.run({"shift", steps, "mid.wrd", "-o", "mid.wrd", "--song", fourThenThree});
        EXPECT_EQ(inPlace.status, 0);
        EXPECT_EQ(readBytes(dir.file("mid.wrd")), expected);
    }
    // The song's meter counts: bar 9 is a 3/4 bar, so a quarter on from step 120 carries.
    EXPECT_NE(editorResult(lyrics, fourThenThree, 48).find("\r\n@WAIT(10,24);@COLOR(33);\r\n"),
              std::string::npos);
}

TEST_F(ToolShift, FailuresWriteNothingAndLeaveTheOldOutputWhole)
{
    const std::string in = dir.write("in.wrd", "@WAIT(2,0);\r\n");
    const std::string old = dir.write("old.wrd", "old script\r\n");
    fs::create_directory(dir.path() / "folder");
    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing script",
         {"shift", "-12", dir.file("none.wrd"), "-o", old},
         "入力ファイルが開けません: " + dir.file("none.wrd")},
        {"missing song",
         {"shift", "12", in, "-o", old, "--song", dir.file("none.mid")},
         "入力ファイルが開けません: " + dir.file("none.mid")},
        {"song is a folder",
         {"shift", "12", in, "--song", dir.file("folder"), "-o", old},
         "入力ファイルが開けません: " + dir.file("folder")},
        {"output in a missing folder",
         {"shift", "12", in, "-o", dir.file("nowhere/x.wrd")},
         "WRDファイルが開けません: " + dir.file("nowhere/x.wrd") +
             ": ファイルを書き込み用に開けませんでした (フォルダーがありません)"},
        {"output is a folder",
         {"shift", "12", in, "-o", dir.file("folder")},
         "WRDファイルが開けません: " + dir.file("folder") +
             ": ファイルを書き込み用に開けませんでした (フォルダーです)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun r = dir.run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        // No count is reported for a shift that was not written.
        EXPECT_EQ(r.err, "velkan-tool: " + c.message + "\n");
        EXPECT_EQ(readBytes(old), "old script\r\n");
        EXPECT_TRUE(fs::is_empty(dir.path() / "folder"));
    }
}

} // namespace
} // namespace velkan::test
