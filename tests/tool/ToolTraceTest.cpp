// velkan-tool trace: the player's events of a script, one a line.
#include "ToolRun.h"
#include "midi/SmfBuilder.h"

namespace velkan::test {
namespace {

const std::string kUsage = "usage: velkan-tool trace SCRIPT.wrd [--song SONG.mid]";

TEST(ToolTrace, BadCommandLinesExitTwoWithItsUsage)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", "@STARTUP(427);\r\n");
    const std::vector<std::vector<std::string>> cases = {
        {"trace"},
        {"trace", in, in},
        {"trace", in, "-o", dir.file("out.wrd")},
        {"trace", in, "--song"},
        {"trace", in, "--verbose"},
    };
    for (const std::vector<std::string> &args : cases) {
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_NE(r.err.find(kUsage), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Try 'velkan-tool trace --help'."), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(ToolTrace, HelpNamesTheCommandAndItsOutput)
{
    ToolDir dir;
    const ToolRun all = dir.run({"--help"});
    EXPECT_EQ(all.status, 0);
    EXPECT_NE(all.out.find("  trace SCRIPT.wrd [--song SONG.mid]"), std::string::npos) << all.out;
    const ToolRun one = dir.run({"trace", "--help"});
    EXPECT_EQ(one.status, 0);
    EXPECT_TRUE(one.out.starts_with(kUsage + "\n")) << one.out;
    for (const char *word : {"TICK text BYTES", "TICK locate COL ROW", "TICK color N", "--song"})
        EXPECT_NE(one.out.find(word), std::string::npos) << word;
}

TEST(ToolTrace, PrintsEachEventAtItsTick)
{
    ToolDir dir;
    const std::string in =
        dir.write("in.wrd", crlf({"@STARTUP(427);", "@WMODE(23);", "@LOCATE(5;20);@COLOR(33);",
                                  "@WAIT(2,0);", "la", "@WAIT(3,24);", "\x82\xa0;", "@TCLS()"}));
    const ToolRun plain = dir.run({"trace", in});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, lf({"0 startup 427", "0 locate 20 5", "0 color 33", "1920 text la",
                             "1920 linefeed", "4080 text \x82\xa0", "4080 tcls 1 1 80 25 0 32"}));

    // In a 3/4 song of 96 ticks a quarter: bars of 288 ticks.
    TrackBuilder map;
    map.timeSignature(0, 3, 2).endOfTrack(96 * 12);
    const std::string song = dir.write("song.mid", smf(96, {map}));
    const ToolRun withSong = dir.run({"trace", in, "--song", song});
    EXPECT_EQ(withSong.status, 0) << withSong.err;
    EXPECT_EQ(withSong.out, lf({"0 startup 427", "0 locate 20 5", "0 color 33", "288 text la",
                                "288 linefeed", "624 text \x82\xa0", "624 tcls 1 1 80 25 0 32"}));
}

TEST(ToolTrace, SaysWhereThePlayerHangs)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", crlf({"@STARTUP(427);", "a;", "@WAIT(0,0);", "b;"}));
    const ToolRun r = dir.run({"trace", in});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, lf({"0 startup 427", "0 text a", "hang 3"}));
}

TEST(ToolTrace, FilesThatCannotBeReadExitOne)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", "a\r\n");
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"trace", dir.file("none.wrd")},
                                               {"trace", in, "--song", dir.file("none.mid")},
                                               {"trace", in, "--song", in}}) {
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

} // namespace
} // namespace velkan::test
