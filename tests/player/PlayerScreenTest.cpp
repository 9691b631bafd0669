// The player's screen: what a script leaves on the 80 x 25 text screen and in
// its palette, and the timeline that finds the screen at any moment.
#include "player/PlayerScreen.h"

#include <gtest/gtest.h>

#include <random>

namespace velkan::test {
namespace {

std::shared_ptr<const PlayerReading> read(const std::vector<std::string> &lines)
{
    std::vector<std::string_view> views(lines.begin(), lines.end());
    return std::make_shared<const PlayerReading>(readAsPlayer(views, nullptr));
}

PlayerScreen screenAfter(const std::vector<std::string> &lines)
{
    PlayerScreen screen;
    const auto reading = read(lines);
    for (const PlayerEvent &e : reading->events)
        screen.apply(e);
    return screen;
}

std::string trimmed(std::string s)
{
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

const std::string kA = "\x82\xa0"; // あ
const std::string kHeader = "@STARTUP(427);";

struct TextCase {
    const char *name;
    std::vector<std::string> lines;
    int row;
    std::string text; // the row, trailing blanks trimmed
    int cursorRow, cursorColumn;
};

class ScreenText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ScreenText, LeavesTheRowAndCursor)
{
    const TextCase &c = GetParam();
    std::vector<std::string> lines{kHeader};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    const PlayerScreen s = screenAfter(lines);
    EXPECT_EQ(trimmed(s.rowText(c.row)), c.text);
    EXPECT_EQ(s.cursorRow(), c.cursorRow);
    EXPECT_EQ(s.cursorColumn(), c.cursorColumn);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScreenText,
    ::testing::Values(
        TextCase{"LocateColumnRow", {"@LOCATE(5,3);", "AB;"}, 2, "    AB", 2, 6},
        TextCase{"LocateSemicolonIsRowThenColumn", {"@LOCATE(3;5);", "AB;"}, 2, "    AB", 2, 6},
        TextCase{"LyricWithoutSemicolonFeedsALine", {"AB", "CD;"}, 1, "CD", 1, 2},
        TextCase{"DoubleByteTakesTwoCells", {"@LOCATE(1,1);", kA + "x;"}, 0, kA + "x", 0, 3},
        // The column past the last wraps to the second column of the next row.
        TextCase{"WrapPastColumn80", {"@LOCATE(79,1);", "ABC;"}, 1, " C", 1, 2},
        TextCase{
            "DoubleByteNeverStartsInColumn80", {"@LOCATE(80,1);", kA + ";"}, 1, " " + kA, 1, 3},
        TextCase{"BottomRowScrollsUp", {"@LOCATE(1,25);", "AB", "CD;"}, 23, "AB", 24, 2},
        TextCase{"StartupClears", {"AB;", "@STARTUP(427);"}, 0, "", 0, 0},
        TextCase{"TclsFillsAndPutsTheCursorBack",
                 {"@LOCATE(3,1);", "@TCLS(1,1,4,1,0,65);"},
                 0,
                 "AAAA",
                 0,
                 2},
        TextCase{"TclsClearsTheWholeScreen", {"AB;", "@TCLS();"}, 0, "", 0, 2},
        TextCase{"EscapeClearsTheScreen", {"AB;", "@ESC(2J);"}, 0, "", 0, 0},
        TextCase{"TabToTheNextEighth", {"A\tB;"}, 0, "A       B", 0, 9}),
    [](const auto &p) { return std::string(p.param.name); });

struct ColourCase {
    const char *name;
    std::string command;
    std::uint8_t attr; // of the cell written after it
};

class ScreenColourAttr : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ScreenColourAttr, MarksTheNextText)
{
    const ColourCase &c = GetParam();
    const PlayerScreen s = screenAfter({kHeader, c.command, "A;"});
    EXPECT_EQ(s.cell(0, 0).byte, 'A');
    EXPECT_EQ(s.cell(0, 0).attr, c.attr);
}

constexpr std::uint8_t coloured(int n)
{
    return static_cast<std::uint8_t>(ScreenCell::Coloured | (n << ScreenCell::ColourShift));
}
constexpr std::uint8_t reversed(int n)
{
    return static_cast<std::uint8_t>(ScreenCell::Reverse | (n << ScreenCell::ColourShift));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScreenColourAttr,
    ::testing::Values(ColourCase{"Foreground33", "@COLOR(33);", coloured(3)},
                      ColourCase{"Remapped18IsBlue", "@COLOR(18);", coloured(4)},
                      ColourCase{"Remapped20IsGreen", "@COLOR(20);", coloured(2)},
                      ColourCase{"Reverse42", "@COLOR(42);", reversed(2)},
                      ColourCase{"OtherNumbersReset", "@COLOR(33);@COLOR(5);", 0},
                      // A foreground after a reverse keeps the reverse bit, but draws as text.
                      ColourCase{"ForegroundAfterReverse", "@COLOR(41);@COLOR(32);",
                                 static_cast<std::uint8_t>(coloured(2) | ScreenCell::Reverse)},
                      ColourCase{"TclsColourDoesNotStay", "@COLOR(31);@TCLS(1,2,80,2,42,32);",
                                 coloured(1)}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(PlayerScreen, DoubleByteHalvesAreMarkedAndOverwritingOneClearsBoth)
{
    PlayerScreen s = screenAfter({kHeader, kA + ";"});
    EXPECT_EQ(s.cell(0, 0).attr, ScreenCell::Double | ScreenCell::Lead);
    EXPECT_EQ(s.cell(0, 1).attr, ScreenCell::Double);
    s = screenAfter({kHeader, kA + ";", "@LOCATE(2,1);", "x;"});
    EXPECT_EQ(s.cell(0, 0).byte, 0);
    EXPECT_EQ(s.cell(0, 1).byte, 'x');
}

ScreenColour rgb(int twelveBits)
{
    const auto ch = [](int v) { return static_cast<std::uint16_t>((v & 0xf) * 0x1111); };
    return {ch(twelveBits >> 8), ch(twelveBits >> 4), ch(twelveBits)};
}

const std::string kWhitePal =
    "@PAL(FFF,F00,0F0,FF0,00F,F0F,0FF,FFF,444,C44,4C4,CC4,44C,C4C,4CC,CCC);";
const std::string kGreyPal3 =
    "@PAL(#3,888,F00,0F0,FF0,00F,F0F,0FF,FFF,444,C44,4C4,CC4,44C,C4C,4CC,CCC);";

struct PaletteCase {
    const char *name;
    std::vector<std::string> lines;
    ScreenColour background;
};

class ScreenBackground : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(ScreenBackground, ShowsPaletteColourZero)
{
    std::vector<std::string> lines{kHeader};
    lines.insert(lines.end(), GetParam().lines.begin(), GetParam().lines.end());
    EXPECT_EQ(screenAfter(lines).background(), GetParam().background);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScreenBackground,
    ::testing::Values(
        PaletteCase{"Default", {}, rgb(0x000)},
        PaletteCase{"PalSetsTheShownPalette", {kWhitePal}, rgb(0xfff)},
        PaletteCase{"NumberedPalIsStoredOnly", {kGreyPal3}, rgb(0x000)},
        PaletteCase{"FadeAtOnce", {kGreyPal3, "@FADE(0,3,0);"}, rgb(0x888)},
        // Twelve steps over the speed's time; all of them have passed here.
        PaletteCase{"FadeStepsToTheEnd", {kGreyPal3, "@FADE(0,3,1);", "@WAIT(3,0);"}, rgb(0x888)},
        PaletteCase{"PalRevInverts", {"@PALREV(0);"}, rgb(0xfff)},
        PaletteCase{"GraphicsOffIsBlack", {kWhitePal, "@GON(0);"}, rgb(0x000)},
        PaletteCase{"StartupRestores", {kWhitePal, "@STARTUP(427);"}, rgb(0x000)}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(PlayerScreen, AnOddFadeStepIsTheTruncatedShareOfTheWay)
{
    PlayerScreen s = screenAfter({kHeader, kGreyPal3});
    s.apply({0, PlayerEventKind::Fade, {0, 3, 10}, {}, 0});
    s.apply({0, PlayerEventKind::FadeStep, {7, 12}, {}, 0});
    const auto part = static_cast<std::uint16_t>(0x8888 / 12 * 7);
    EXPECT_EQ(s.background(), (ScreenColour{part, part, part}));
    // Even steps are not drawn.
    s.apply({0, PlayerEventKind::FadeStep, {8, 12}, {}, 0});
    EXPECT_EQ(s.background(), (ScreenColour{part, part, part}));
    EXPECT_EQ(s.palette(0)[0], rgb(0x000)); // only the last step stores it
}

// Any moment through the checkpoints equals the events replayed from the start.
TEST(PlayerScreenTimeline, EveryMomentEqualsAFullReplay)
{
    std::vector<std::string> lines{kHeader, "@WMODE(23,1);"};
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        switch (random() % 5) {
        case 0:
            lines.push_back("@WAIT(" + std::to_string(2 + i / 4) + "," +
                            std::to_string(random() % 192) + ");");
            break;
        case 1:
            lines.push_back("@LOCATE(" + std::to_string(random() % 90) + "," +
                            std::to_string(random() % 30) + ");");
            break;
        case 2:
            lines.push_back("@COLOR(" + std::to_string(30 + random() % 18) + ");");
            break;
        case 3:
            lines.push_back("@FADE(0,3," + std::to_string(random() % 3) + ");");
            break;
        default:
            lines.push_back("LYRIC" + kA + std::to_string(i));
            break;
        }
    }
    const auto reading = read(lines);
    ASSERT_GT(reading->events.size(), 400u);
    const PlayerScreenTimeline timeline(reading, 16);
    PlayerScreen replayed;
    std::size_t next = 0;
    const std::int64_t last = reading->events.back().tick;
    for (std::int64_t tick = 0; tick <= last + 10; tick += 37) {
        while (next < reading->events.size() && reading->events[next].tick <= tick)
            replayed.apply(reading->events[next++]);
        ASSERT_EQ(timeline.at(tick), replayed) << "at tick " << tick;
    }
}

TEST(PlayerScreenTimeline, ALineShowsItsOwnEventsAndNoLaterOnes)
{
    const auto reading = read({kHeader, "@WAIT(2,0);", "AB;", "@WAIT(3,0);", "CD;"});
    const PlayerScreenTimeline timeline(reading, 1);
    EXPECT_EQ(trimmed(timeline.atLine(1).rowText(0)), "");
    EXPECT_EQ(timeline.tickOfLine(1), 4 * 480);
    EXPECT_EQ(trimmed(timeline.atLine(2).rowText(0)), "AB");
    EXPECT_EQ(timeline.tickOfLine(3), 8 * 480);
    EXPECT_EQ(trimmed(timeline.atLine(4).rowText(0)), "ABCD");
}

} // namespace
} // namespace velkan::test
