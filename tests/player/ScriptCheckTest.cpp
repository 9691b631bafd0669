// The script check: each trap a player falls into, and the line written the
// way the player reads it as meant beside it.
#include "player/ScriptCheck.h"
#include "midi/SmfBuilder.h"
#include "player/PlayerReading.h"

#include <gtest/gtest.h>

#include <optional>

namespace velkan::test {
namespace {

constexpr int Q = 480; // ticks a quarter
const std::string H = "@STARTUP(427);";

// 4/4 for two bars, then 3/4 (144 steps a bar from bar 3 on).
std::string meterSong()
{
    TrackBuilder map;
    map.timeSignature(0, 4, 2).timeSignature(8 * Q, 3, 2).note(20 * Q, 60).endOfTrack(Q);
    return smf(Q, {map});
}

// 4/4 whose last note stands at the end of bar 2.
std::string twoBarSong()
{
    TrackBuilder t;
    t.note(0, 60).note(8 * Q, 60).endOfTrack(2 * Q);
    return smf(Q, {t});
}

// n palette entries after "@PAL(" and an optional "#1,".
std::string palLine(bool numbered, int n)
{
    std::string line = numbered ? "@PAL(#1" : "@PAL(";
    for (int i = 0; i < n; ++i)
        line += (i == 0 && !numbered ? "" : ",") + std::string("7bf");
    return line + ");";
}

struct Case {
    const char *name;
    std::vector<std::string> lines;
    std::string song;                  // empty: none
    std::vector<std::string> expected; // "LINE:CODE", LINE from 1
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class ScriptCheckCase : public testing::TestWithParam<Case> {};

TEST_P(ScriptCheckCase, FindsExactlyTheTraps)
{
    const Case &c = GetParam();
    std::optional<SongTimeline> song;
    std::vector<TimeSignatureEvent> signatures;
    if (!c.song.empty()) {
        song = SongTimeline::fromSmf(c.song);
        ASSERT_TRUE(song);
        signatures = playerTimeSignatures(c.song);
    }
    const std::vector<std::string_view> lines(c.lines.begin(), c.lines.end());
    const std::vector<Finding> found =
        checkScript(lines, song ? &*song : nullptr, song ? playerSongEndTick(c.song) : 0,
                    song ? &signatures : nullptr);
    std::vector<std::string> said;
    for (const Finding &f : found) {
        said.push_back(std::to_string(f.line + 1) + ':' + f.code);
        EXPECT_FALSE(f.message.empty()) << f.code;
        EXPECT_EQ(f.message, findingMessage(f.code));
    }
    EXPECT_EQ(said, c.expected);
}

const std::string kSjisA = "\x82\xa0"; // one double-byte character

INSTANTIATE_TEST_SUITE_P(
    Codes, ScriptCheckCase,
    testing::Values(
        Case{"WaitBeforeBarOneHangs", {H, "@WAIT(0,0);", "a"}, {}, {"2:E01"}},
        Case{"WaitAtBarOneIsFine", {H, "@WAIT(1,0);", "a"}, {}, {}},
        Case{"OffsetKeepsBarZeroValid", {H, "@OFFSET(1);", "@WAIT(0,0);", "a"}, {}, {}},
        Case{"OffsetMakesBarOneHang", {H, "@OFFSET(-1);", "@WAIT(1,0);", "a"}, {}, {"3:E01"}},
        Case{"BackwardWaitShowsLate", {H, "@WAIT(3,0);", "a;", "@WAIT(2,0);", "b;"}, {}, {"5:W02"}},
        Case{"ForwardWaitsShowOnTime", {H, "@WAIT(2,0);", "a;", "@WAIT(3,0);", "b;"}, {}, {}},
        Case{"StepAtBarLength", {H, "@WAIT(2,192);", "a;"}, {}, {"2:W03"}},
        Case{"StepInsideBar", {H, "@WAIT(2,191);", "a;"}, {}, {}},
        Case{"StepAtThreeFourBarLength", {H, "@WAIT(3,144);", "a;"}, meterSong(), {"2:W03"}},
        Case{"StepInsideFourFourBarOfSong", {H, "@WAIT(2,144);", "a;"}, meterSong(), {}},
        Case{"CommandLineWithoutSemicolon", {H, "@COLOR(31)", "a;"}, {}, {"2:W04"}},
        Case{"CommandLineWithSemicolon", {H, "@COLOR(31);", "a;"}, {}, {}},
        Case{"PlayerEndsWaitLineWithoutStartup", {"@WAIT(1,0)", "a;"}, {}, {"1:W09"}},
        Case{"TextAfterCommand", {H, "@COLOR(31);abc;"}, {}, {"2:W05"}},
        Case{"CommandsSharingALine", {H, "@COLOR(31); @LOCATE(1,1);"}, {}, {}},
        Case{"ShortenedName", {H, "@COL(31);"}, {}, {"2:W06"}},
        Case{"NameInLowerCase", {H, "@color(31);"}, {}, {}},
        Case{"OverlongLine", {H, "@REM(" + std::string(246, 'x') + ");"}, {}, {"2:W07"}},
        Case{"LongestLine", {H, "@REM(" + std::string(245, 'x') + ");"}, {}, {}},
        Case{"TextPastColumn80", {H, "@LOCATE(1;75);", "abcdefg;"}, {}, {"3:W08"}},
        Case{"TextToColumn80", {H, "@LOCATE(1;75);", "abcdef;"}, {}, {}},
        Case{"DoubleByteAtColumn80", {H, "@LOCATE(1;80);", kSjisA + ";"}, {}, {"3:W08"}},
        Case{"DoubleByteAtColumn79", {H, "@LOCATE(1;79);", kSjisA + ";"}, {}, {}},
        Case{"TextGoesOnAfterSemicolon",
             {H, "@LOCATE(1;40);", std::string(41, 'a') + ";", "b;"},
             {},
             {"4:W08"}},
        Case{"NoStartup", {"@COLOR(31);", "a;"}, {}, {"1:W09"}},
        Case{"StartupLaterThanLineOne", {"", "@STARTUP(427);"}, {}, {"1:W09"}},
        Case{"StartupWithoutParentheses", {"@startup 427;"}, {}, {"1:W12"}},
        Case{"LongerNameIsNoStartup", {"@STARTUPX(427);"}, {}, {"1:W06", "1:W09"}},
        Case{"PaletteOfFifteen", {H, palLine(false, 15)}, {}, {"2:W10"}},
        Case{"PaletteOfSixteen", {H, palLine(false, 16)}, {}, {}},
        Case{"NumberedPaletteOfSixteen", {H, palLine(true, 16)}, {}, {}},
        Case{"NumberedPaletteOfFifteen", {H, palLine(true, 15)}, {}, {"2:W10"}},
        Case{"NumberedPaletteOfSeventeen", {H, palLine(true, 17)}, {}, {"2:W10"}},
        Case{"PaletteSplitAtSemicolons", {H, "@PAL(#1" + std::string(16, ';') + ");"}, {}, {}},
        Case{"WaitPastSongEnd", {H, "@WAIT(3,12);", "a;"}, twoBarSong(), {"2:W11"}},
        Case{"WaitAtSongEnd", {H, "@WAIT(3,0);", "a;"}, twoBarSong(), {}},
        Case{"NoSongNoEnd", {H, "@WAIT(99,0);", "a;"}, {}, {}},
        Case{"CommandWithoutParentheses", {H, "@GCLS;"}, {}, {"2:W12"}},
        Case{"CommandWithParentheses", {H, "@GCLS();"}, {}, {}},
        Case{"BlanksBeforeMark", {H, "  @COLOR(31);"}, {}, {"2:W13"}},
        Case{"MarkAtLineStart", {H, "@COLOR(31);"}, {}, {}},
        Case{"SeveralOnOneLine", {H, "@COL(31) x"}, {}, {"2:W04", "2:W05", "2:W06"}}),
    [](const testing::TestParamInfo<Case> &p) { return std::string(p.param.name); });

} // namespace
} // namespace velkan::test
