// velkan-tool check: the script check's findings, one a line, and its exit
// status; and the scripts Velkan itself writes pass it clean.
#include "ToolRun.h"
#include "aids/core/CommandTemplates.h"
#include "aids/core/LayoutState.h"
#include "aids/core/LyricReveal.h"
#include "aids/core/PaletteColour.h"
#include "aids/core/TextColour.h"
#include "midi/SmfBuilder.h"
#include "player/PlayerReading.h"
#include "player/ScriptCheck.h"
#include "script/ScriptFile.h"

namespace velkan::test {
namespace {

const std::string kUsage = "usage: velkan-tool check SCRIPT.wrd [--song SONG.mid]";

std::string said(const std::vector<Finding> &found)
{
    std::string out;
    for (const Finding &f : found)
        out += std::to_string(f.line + 1) + ':' + f.code + ' ';
    return out;
}

TEST(ToolCheck, BadCommandLinesExitTwoWithItsUsage)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", "@STARTUP(427);\r\n");
    const std::vector<std::vector<std::string>> cases = {
        {"check"},
        {"check", in, in},
        {"check", in, "-o", dir.file("out.wrd")},
        {"check", in, "--song"},
    };
    for (const std::vector<std::string> &args : cases) {
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_NE(r.err.find(kUsage), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Try 'velkan-tool check --help'."), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(ToolCheck, FilesThatCannotBeReadExitTwo)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", "@STARTUP(427);\r\n");
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"check", dir.file("none.wrd")},
                                               {"check", in, "--song", dir.file("none.mid")},
                                               {"check", in, "--song", in}}) {
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(ToolCheck, HelpNamesTheCommandAndEveryCode)
{
    ToolDir dir;
    const ToolRun all = dir.run({"--help"});
    EXPECT_EQ(all.status, 0);
    EXPECT_NE(all.out.find("  check SCRIPT.wrd [--song SONG.mid]"), std::string::npos) << all.out;
    const ToolRun one = dir.run({"check", "--help"});
    EXPECT_EQ(one.status, 0);
    EXPECT_TRUE(one.out.starts_with(kUsage + "\n")) << one.out;
    for (const char *code : {"E01", "W02", "W03", "W04", "W05", "W06", "W07", "W08", "W09", "W10",
                             "W11", "W12", "W13"}) {
        EXPECT_NE(one.out.find(std::string("  ") + code + "  "), std::string::npos) << code;
        EXPECT_FALSE(findingMessage(code).empty()) << code;
    }
}

TEST(ToolCheck, PrintsFindingsByLineFromOneAndExitsOne)
{
    ToolDir dir;
    const std::string in =
        dir.write("in.wrd", crlf({"@COLOR(31);", "@COLOR(32)", "  @TCLS();", "@WAIT(0,0);"}));
    const ToolRun r = dir.run({"check", in});
    EXPECT_EQ(r.status, 1) << r.err;
    const auto row = [](const char *where) {
        const std::string code = std::string(where).substr(std::string(where).find(':') + 1);
        return std::string(where) + ": " + std::string(findingMessage(code)) + '\n';
    };
    EXPECT_EQ(r.out, row("1:W09") + row("2:W04") + row("3:W13") + row("4:E01"));
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(ToolCheck, TheSongsEndCountsOnlyWithASong)
{
    ToolDir dir;
    const std::string in = dir.write("in.wrd", crlf({"@STARTUP(427);", "@WAIT(5,0);", "a;"}));
    EXPECT_EQ(dir.run({"check", in}).status, 0);
    TrackBuilder t;
    t.note(0, 60).note(4 * 480, 60).endOfTrack(480);
    const std::string song = dir.write("song.mid", smf(480, {t}));
    const ToolRun r = dir.run({"check", in, "--song", song});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(r.out.starts_with("2:W11: ")) << r.out;
}

// A script of everything Velkan writes: the new-script header, every
// command template, the layout dialog's lines, appear and erase blocks of
// every method and pace, stamps and the closing line.
std::vector<std::string> velkanScript()
{
    std::vector<std::string> lines(kDefaultHeader.begin(), kDefaultHeader.end());
    const PaletteColour colour{15, 7, 0};
    for (const CommandTemplate &entry : commandTemplates()) {
        if (std::string(entry.templateLine).starts_with("@WAIT") ||
            std::string(entry.templateLine).starts_with("@OFFSET"))
            continue; // timings: stamped below in order
        lines.push_back(templateLineFor(entry, false, colour));
        lines.push_back(templateLineFor(entry, true, colour));
    }
    lines.push_back(LayoutState{}.locateLine());
    for (const TextColour &c : textColours())
        lines.emplace_back(c.wrdLine);
    lines.push_back(backgroundPaletteLine(colour));

    const std::vector<std::string> lyric = {"@LOCATE(3;10);", "\x82\xa0\x82\xa2\x82\xa4", "abc;"};
    const std::vector<std::string_view> selection(lyric.begin(), lyric.end());
    int bar = 2;
    for (const RevealMethod method :
         {RevealMethod::AllAtOnce, RevealMethod::LineByLine, RevealMethod::CharByChar}) {
        for (int choice = 0; choice < kRevealTimingChoiceCount; ++choice) {
            const std::string start = "@WAIT(" + std::to_string(bar) + ",0);";
            const std::string end = "@WAIT(" + std::to_string(bar + 2) + ",96);";
            for (ScriptLine &l : appearBlock(selection, method, choice, start, end))
                lines.push_back(std::move(l));
            const std::string later = "@WAIT(" + std::to_string(bar + 6) + ",0);";
            const std::string laterEnd = "@WAIT(" + std::to_string(bar + 8) + ",96);";
            for (ScriptLine &l : eraseBlock(selection, method, choice, later, laterEnd))
                lines.push_back(std::move(l));
            bar += 12;
        }
    }
    lines.push_back("@WAIT(" + std::to_string(bar) + ",96);");
    lines.emplace_back("a");
    lines.emplace_back(kClosingLine);
    return lines;
}

TEST(ToolCheck, ScriptsVelkanWritesAreClean)
{
    const std::vector<std::string> script = velkanScript();
    const std::vector<std::string_view> lines(script.begin(), script.end());
    EXPECT_EQ(said(checkScript(lines, nullptr)), "");

    // Beside a 3/4 song long enough for every timing.
    TrackBuilder t;
    t.timeSignature(0, 3, 2).note(0, 60).note(3 * 480 * 200, 60).endOfTrack(480);
    const std::string image = smf(480, {t});
    const std::optional<SongTimeline> song = SongTimeline::fromSmf(image);
    ASSERT_TRUE(song);
    const std::vector<TimeSignatureEvent> signatures = playerTimeSignatures(image);
    EXPECT_EQ(said(checkScript(lines, &*song, playerSongEndTick(image), &signatures)), "");

    // The example, loaded as the editor loads it.
    const LoadResult demo = loadScriptFile(VELKAN_EXAMPLES_DIR "/demo.txt");
    ASSERT_EQ(demo.status, LoadResult::Status::Ok);
    ScriptLines demoLines = demo.lines;
    addDefaultHeaderIfNeeded(demoLines);
    EXPECT_EQ(said(checkScript(demoLines, nullptr)), "");
}

} // namespace
} // namespace velkan::test
