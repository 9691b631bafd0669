#include "aids/core/LyricReveal.h"
#include "aids/core/RevealTiming.h"

#include "RevealTestLines.h"

#include <gtest/gtest.h>

#include <numeric>

namespace velkan {
namespace {

using namespace test;
using Lines = std::vector<ScriptLine>;
using Views = std::vector<std::string_view>;

TEST(LyricReveal, MarkerLinesAreTheirShiftJisBytes)
{
    EXPECT_EQ(kAppearStartMarker, kAppearStart);
    EXPECT_EQ(kAppearEndMarker, kAppearEnd);
    EXPECT_EQ(kEraseStartMarker, kEraseStart);
    EXPECT_EQ(kEraseEndMarker, kEraseEnd);
    EXPECT_EQ(kAppearStartMarker.size(), 32u);
    EXPECT_EQ(kEraseStartMarker.size(), 21u);
    EXPECT_EQ(kAppearEndMarker.size(), 15u);
}

// The range of the worked example: a @LOCATE line, two lyrics, two timings.
Lines exampleScript()
{
    Lines script;
    for (int i = 0; i < 10; ++i)
        script.push_back("line " + std::to_string(i));
    for (const std::string &line :
         {std::string("@LOCATE(5;20);"), kAiu, std::string("@WAIT(12,96);"), kEoSemi,
          std::string("@WAIT(12,144);")})
        script.push_back(line);
    script.push_back("after");
    return script;
}

void insertBlock(Lines &script, int at, const Lines &block)
{
    script.insert(script.begin() + at, block.begin(), block.end());
}

TEST(LyricReveal, WorkedExampleLineForLine)
{
    Lines script = exampleScript();
    std::vector<int> selection = {10, 11, 12, 13, 14};
    const BarMath bars; // no song
    MusicalPosition working;

    // Appear: line by line at an eighth, start edit empty.
    RevealTimingResult appear = appearTiming(selectedLines(script, selection), {},
                                             RevealMethod::LineByLine, 1, working, bars);
    ASSERT_TRUE(appear.changed);
    EXPECT_EQ(appear.edits, (RevealEdits{"@WAIT(12,0);", "@WAIT(12,48);"}));
    working = appear.working;

    const auto appearAt = appearInsertionIndex(selection);
    ASSERT_EQ(appearAt, 10);
    const Lines appearLines =
        appearBlock(selectedLines(script, selection), RevealMethod::LineByLine, 1,
                    appear.edits.start, appear.edits.end);
    insertBlock(script, *appearAt, appearLines);
    for (int &i : selection)
        i += static_cast<int>(appearLines.size());

    // Erase: all at once at a quarter, start edit empty.
    RevealTimingResult erase = eraseTiming(selectedLines(script, selection), {},
                                           RevealMethod::AllAtOnce, 0, working, bars);
    ASSERT_TRUE(erase.changed);
    EXPECT_EQ(erase.edits, (RevealEdits{"@WAIT(13,0);", "@WAIT(13,0);"}));
    const auto eraseAt = eraseInsertionIndex(selection);
    ASSERT_EQ(eraseAt, 23);
    insertBlock(script, *eraseAt,
                eraseBlock(selectedLines(script, selection), RevealMethod::AllAtOnce, 0,
                           erase.edits.start, erase.edits.end));

    const Lines expected = {
        kAppearStart,
        "@WAIT(12,0);",
        "@WMODE(11,0);",
        "@LOCATE(5;20);",
        kAiu,
        kEo,
        "@WMODE(23,0);",
        kAppearEnd + "@WAIT(12,48);",
        "@LOCATE(5;20);", // the range itself, indexes 18 to 22
        kAiu,
        "@WAIT(12,96);",
        kEoSemi,
        "@WAIT(12,144);",
        kEraseStart,
        "@WAIT(13,0);",
        "@WMODE(23,0);",
        "@LOCATE(5;20);",
        "      ;",
        "     ;",
        "@WMODE(23,0);",
        kEraseEnd + "@WAIT(13,0);",
        "after",
    };
    ASSERT_EQ(script.size(), 10 + expected.size());
    EXPECT_EQ(Lines(script.begin() + 10, script.end()), expected);
    EXPECT_EQ(script[9], "line 9");
}

TEST(LyricReveal, EachMethodShapesItsLyricLines)
{
    const Views selection = {"ab;", "", "@COLOR(31);", "cd"};
    struct Case {
        RevealMethod method;
        const char *mode;
        Lines appear;
        Lines erase;
    };
    const Case cases[] = {
        {RevealMethod::AllAtOnce, "@WMODE(5,0);", {"ab;", "cd;"}, {"   ;", "  ;"}},
        {RevealMethod::LineByLine, "@WMODE(5,0);", {"ab", "cd"}, {"   ", "  "}},
        {RevealMethod::CharByChar, "@WMODE(5,1);", {"ab;", "cd;"}, {"   ;", "  ;"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        Lines appear = {kAppearStart, "S", c.mode};
        appear.insert(appear.end(), c.appear.begin(), c.appear.end());
        appear.insert(appear.end(), {"@WMODE(23,0);", kAppearEnd + "E"});
        EXPECT_EQ(appearBlock(selection, c.method, 2, "S", "E"), appear);

        Lines erase = {kEraseStart, "S", c.mode};
        erase.insert(erase.end(), c.erase.begin(), c.erase.end());
        erase.insert(erase.end(), {"@WMODE(23,0);", kEraseEnd + "E"});
        EXPECT_EQ(eraseBlock(selection, c.method, 2, "S", "E"), erase);
    }
}

TEST(LyricReveal, ModeLinesForEveryPace)
{
    const char *zero[] = {"@WMODE(23,0);", "@WMODE(11,0);", "@WMODE(5,0);", "@WMODE(2,0);"};
    const char *one[] = {"@WMODE(23,1);", "@WMODE(11,1);", "@WMODE(5,1);", "@WMODE(2,1);"};
    for (int i = 0; i < kRevealTimingChoiceCount; ++i) {
        EXPECT_EQ(modeLine(i, RevealMethod::AllAtOnce), zero[i]);
        EXPECT_EQ(modeLine(i, RevealMethod::LineByLine), zero[i]);
        EXPECT_EQ(modeLine(i, RevealMethod::CharByChar), one[i]);
    }
    EXPECT_EQ(revealTimingChoices()[3].label, "三十二分音符");
}

TEST(LyricReveal, OnlyLocateLinesOfTheCommandsAreKept)
{
    const Views selection = {
        "@LOCATE(1;2)",           // gets its ';'
        "@LOCATE(3;4);",          // copied as it is
        "@COLOR(1);@LOCATE(5;6)", // "@LOCATE" anywhere counts
        "@\x83@LOCATE(7;8);",     // '@' as a second byte: no @LOCATE here
        "@WAIT(12,96);",          "@WMODE(23,0);", "@COLOR(32);",
    };
    const Lines block = appearBlock(selection, RevealMethod::AllAtOnce, 0, "", "");
    const Lines expected = {kAppearStart,    "",
                            "@WMODE(23,0);", "@LOCATE(1;2);",
                            "@LOCATE(3;4);", "@COLOR(1);@LOCATE(5;6);",
                            "@WMODE(23,0);", kAppearEnd};
    EXPECT_EQ(block, expected);
    const Lines erase = eraseBlock(selection, RevealMethod::AllAtOnce, 0, "", "");
    EXPECT_EQ(Lines(erase.begin() + 3, erase.end() - 2),
              Lines(expected.begin() + 3, expected.end() - 2));
}

TEST(LyricReveal, RangeWithoutLyricsGivesTheFiveFixedLines)
{
    const Views selection = {"", "@COLOR(1);", "@WAIT(3,0);"};
    EXPECT_EQ(appearBlock(selection, RevealMethod::CharByChar, 0, "", ""),
              (Lines{kAppearStart, "", "@WMODE(23,1);", "@WMODE(23,0);", kAppearEnd}));
    EXPECT_EQ(eraseBlock({}, RevealMethod::LineByLine, 3, "", ""),
              (Lines{kEraseStart, "", "@WMODE(2,0);", "@WMODE(23,0);", kEraseEnd}));
}

TEST(LyricReveal, DurationCountsLyricLinesAndTheirBytes)
{
    const std::string semi = ";";
    const Views selection = {kAiu, "", "@WAIT(1,0);", kEoSemi, "@LOCATE(1;1);", semi};
    // Lyric lines: kAiu (6 bytes), kEoSemi (5), ";" (1).
    struct Case {
        RevealMethod method;
        int choice;
        std::int64_t steps;
    };
    const Case cases[] = {
        {RevealMethod::AllAtOnce, 0, 0},        {RevealMethod::AllAtOnce, 3, 0},
        {RevealMethod::LineByLine, 0, 3 * 48},  {RevealMethod::LineByLine, 1, 3 * 24},
        {RevealMethod::CharByChar, 2, 12 * 12}, {RevealMethod::CharByChar, 3, 12 * 6},
    };
    for (const Case &c : cases)
        EXPECT_EQ(revealDuration(selection, c.choice, c.method), c.steps);
    // Three double-byte characters count six units.
    EXPECT_EQ(revealDuration(Views{kAiu}, 1, RevealMethod::CharByChar), 6 * 24);
}

TEST(LyricReveal, LyricAndTimingLines)
{
    EXPECT_TRUE(isLyricLine("ab"));
    EXPECT_TRUE(isLyricLine(";"));
    EXPECT_TRUE(isLyricLine(" @WAIT(1,0);"));
    EXPECT_FALSE(isLyricLine(""));
    EXPECT_FALSE(isLyricLine("@COLOR(1);"));

    EXPECT_TRUE(isTimingLine("@WAIT(1,0);"));
    EXPECT_TRUE(isTimingLine(kAppearEnd + "@WAIT(12,48);"));
    EXPECT_TRUE(isTimingLine("x@WAIT"));
    EXPECT_FALSE(isTimingLine("\x83@WAIT(1,0);")); // '@' is the second byte of a character
    EXPECT_FALSE(isTimingLine("@wait(1,0);"));

    EXPECT_EQ(readTimingLine("@WAIT(12,96);"), (MusicalPosition{12, 96}));
    EXPECT_EQ(readTimingLine(kAppearEnd + "@WAIT(12,48);"), (MusicalPosition{12, 48}));
    EXPECT_EQ(readTimingLine(kEraseEnd + "@WAIT(13,0);"), (MusicalPosition{13, 0}));
}

TEST(LyricReveal, EveryLineOfALongRangeTakesPart)
{
    Lines script;
    for (int i = 0; i < 450; ++i)
        script.push_back("lyric " + std::to_string(i));
    std::vector<int> selection(script.size());
    std::iota(selection.begin(), selection.end(), 0);
    const Views views = selectedLines(script, selection);
    const Lines appear = appearBlock(views, RevealMethod::LineByLine, 0, "", "");
    ASSERT_EQ(appear.size(), 455u);
    EXPECT_EQ(appear[3], "lyric 0");
    EXPECT_EQ(appear[452], "lyric 449");
    EXPECT_EQ(eraseBlock(views, RevealMethod::AllAtOnce, 0, "", "").size(), 455u);
    EXPECT_EQ(revealDuration(views, 0, RevealMethod::LineByLine), 450 * 48);
}

TEST(LyricReveal, InsertionIndexesNeedASelection)
{
    EXPECT_FALSE(appearInsertionIndex({}).has_value());
    EXPECT_FALSE(eraseInsertionIndex({}).has_value());
    const std::vector<int> selection = {4, 7, 9};
    EXPECT_EQ(appearInsertionIndex(selection), 4);
    EXPECT_EQ(eraseInsertionIndex(selection), 10);

    const Lines lines = {"a", "b", "c"};
    const std::vector<int> outside = {-1, 1, 3};
    EXPECT_EQ(selectedLines(lines, outside), (Views{"b"}));
}

} // namespace
} // namespace velkan
