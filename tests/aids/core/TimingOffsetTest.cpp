#include "aids/core/TimingOffset.h"

#include "MeterMaps.h"

#include <gtest/gtest.h>

namespace velkan {
namespace {

using test::fourThenThree;
using test::threeFour;

TEST(TimingOffset, ChoicesAndTheirSteps)
{
    const int expected[] = {0, -48, -24, -12, 12, 24, 48, 0};
    for (int choice = 0; choice <= 7; ++choice)
        EXPECT_EQ(timingOffsetSteps(choice), expected[choice]) << choice;
    for (int i = 0; i < kTimingOffsetChoiceCount; ++i) {
        const TimingOffsetChoice &c = timingOffsetChoices()[static_cast<std::size_t>(i)];
        EXPECT_EQ(c.choice, i + 1);
        EXPECT_EQ(c.controlId, 1047 + i);
    }
    EXPECT_EQ(timingOffsetChoices()[0].label, "-  4分音符 1個の時間");
    EXPECT_EQ(timingOffsetChoices()[2].label, "- 16分音符 1個の時間");
    EXPECT_EQ(timingOffsetChoices()[4].label, "+  8分音符 1個の時間");
}

struct ShiftCase {
    const char *name;
    const SongTimeline *timeline; // nullptr: no song loaded
    const char *line;
    int steps;
    const char *result;
    bool held;
};

void checkShifts(const std::vector<ShiftCase> &cases)
{
    for (const ShiftCase &c : cases) {
        SCOPED_TRACE(c.name);
        bool held = !c.held;
        const auto shifted = shiftedWaitLine(c.line, c.steps, BarMath(c.timeline), &held);
        ASSERT_TRUE(shifted.has_value());
        EXPECT_EQ(*shifted, c.result);
        EXPECT_EQ(held, c.held);
    }
}

TEST(TimingOffset, FourFourAndNoSongShiftAsBefore)
{
    const SongTimeline &fourFour = test::fourFour();
    checkShifts({
        {"quarter back, borrow", nullptr, "@WAIT(12,0);", -48, "@WAIT(11,144);", false},
        {"quarter back", nullptr, "@WAIT(12,96);", -48, "@WAIT(12,48);", false},
        {"sixteenth on, carry to 0", nullptr, "@WAIT(12,180);", 12, "@WAIT(13,0);", false},
        {"sixteenth on, carry", nullptr, "@WAIT(12,191);", 12, "@WAIT(13,11);", false},
        {"eighth on, no step", nullptr, "@WAIT(12);", 24, "@WAIT(12,24);", false},
        {"carried once only", nullptr, "@WAIT(5,400);", 12, "@WAIT(6,220);", false},
        {"4/4 song, borrow", &fourFour, "@WAIT(12,0);", -48, "@WAIT(11,144);", false},
        {"4/4 song, carry", &fourFour, "@WAIT(12,191);", 12, "@WAIT(13,11);", false},
        {"eighth back", nullptr, "@WAIT(2,0);", -24, "@WAIT(1,168);", false},
        {"unreadable numbers", nullptr, "@WAIT(x,y);", 48, "@WAIT(1,0);", true},
        {"unreadable step", nullptr, "@WAIT(7,y);", 48, "@WAIT(7,48);", false},
    });
}

TEST(TimingOffset, ThreeFourBarsAreMeasuredByTheSong)
{
    checkShifts({
        {"quarter back, borrow a 3/4 bar", &threeFour(), "@WAIT(12,0);", -48, "@WAIT(11,96);",
         false},
        {"quarter on, carry at 144", &threeFour(), "@WAIT(12,120);", 48, "@WAIT(13,24);", false},
        {"sixteenth on, carry to 0", &threeFour(), "@WAIT(12,132);", 12, "@WAIT(13,0);", false},
        {"within the bar", &threeFour(), "@WAIT(12,48);", 48, "@WAIT(12,96);", false},
        {"borrow from the last 4/4 bar", &fourThenThree(), "@WAIT(9,0);", -48, "@WAIT(8,144);",
         false},
        {"carry out of a 3/4 bar", &fourThenThree(), "@WAIT(9,120);", 48, "@WAIT(10,24);", false},
        {"4/4 bar before the change", &fourThenThree(), "@WAIT(8,144);", 24, "@WAIT(8,168);",
         false},
    });
}

// A song whose first time signature comes late is in 4/4 until the bar line
// that signature reaches. The shifted line names the moment the player reaches
// that many steps after the line's own moment. (Counting bar 1 on in the first
// signature's meter put the first case at @WAIT(5,48);, a quarter late.)
TEST(TimingOffset, LateFirstSignatureCountsFourFourBarsBeforeIt)
{
    using test::timelineOf;
    struct Case {
        const char *name;
        SongTimeline timeline;
        MusicalPosition from;
        int steps;
        const char *result;
    };
    const Case cases[] = {
        {"3/4 from bar 5: bar 4 has 192 steps", timelineOf({{16, 3}}), {4, 180}, 12, "@WAIT(5,0);"},
        {"3/4 inside bar 4 waits for bar 5", timelineOf({{14, 3}}), {4, 180}, 12, "@WAIT(5,0);"},
        {"3/4 from bar 4: its 144 steps", timelineOf({{12, 3}}), {4, 132}, 12, "@WAIT(5,0);"},
        {"carry out of the first 3/4 bar", timelineOf({{16, 3}}), {5, 120}, 48, "@WAIT(6,24);"},
        {"borrow from the last 4/4 bar", timelineOf({{16, 3}}), {5, 0}, -48, "@WAIT(4,144);"},
        {"6/8 inside bar 3 from bar 4", timelineOf({{9, 6, 3}}), {3, 168}, 24, "@WAIT(4,0);"},
        {"6/8 bar after 4/4 ones", timelineOf({{9, 6, 3}}), {4, 120}, 48, "@WAIT(5,24);"},
        {"3/8 from bar 3", timelineOf({{8, 3, 3}}), {3, 48}, 48, "@WAIT(4,24);"},
        {"3/8 borrow from a 4/4 bar", timelineOf({{8, 3, 3}}), {3, 12}, -24, "@WAIT(2,180);"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto shifted = shiftedWaitLine(formatWait(c.from), c.steps, BarMath(&c.timeline));
        ASSERT_TRUE(shifted.has_value());
        EXPECT_EQ(*shifted, c.result);
        const std::int64_t ticks = std::int64_t{c.steps} * c.timeline.division() / 48;
        EXPECT_EQ(formatWait(c.timeline.positionAt(c.timeline.tickOf(c.from) + ticks)), c.result);
    }
}

TEST(TimingOffset, NothingMovesBeforeBarOne)
{
    checkShifts({
        {"bar 0 quarter back", nullptr, "@WAIT(0,0);", -48, "@WAIT(1,0);", true},
        {"bar 1 start back", nullptr, "@WAIT(1,0);", -12, "@WAIT(1,0);", true},
        {"bar 1 start on", nullptr, "@WAIT(1,0);", 12, "@WAIT(1,12);", false},
        {"bar 1 step 10 back", nullptr, "@WAIT(1,10);", -12, "@WAIT(1,0);", true},
        {"bar 1 step 12 back", nullptr, "@WAIT(1,12);", -12, "@WAIT(1,0);", false},
        {"3/4 bar 1 back", &threeFour(), "@WAIT(1,24);", -48, "@WAIT(1,0);", true},
        {"negative bar", nullptr, "@WAIT(-3,50);", 48, "@WAIT(1,0);", true},
        {"bar 0 carried into bar 1", nullptr, "@WAIT(0,180);", 24, "@WAIT(1,12);", false},
        {"bar 0 carried short of bar 1", nullptr, "@WAIT(-1,400);", 12, "@WAIT(1,28);", false},
    });
}

TEST(TimingOffset, CommandsAfterTheWaitAreKept)
{
    checkShifts({
        {"colour after", nullptr, "@WAIT(12,96);@COLOR(32);", 12, "@WAIT(12,108);@COLOR(32);",
         false},
        {"no ';' before the next command", nullptr, "@WAIT(12,96)@COLOR(32);", 12,
         "@WAIT(12,108);@COLOR(32);", false},
        {"only one ';' taken", nullptr, "@WAIT(12,96);;x", 12, "@WAIT(12,108);;x", false},
        {"lyric after", nullptr, "@WAIT(12,96); \x82\xA0", 12, "@WAIT(12,108); \x82\xA0", false},
        {"no ')'", nullptr, "@WAIT(12,96", 12, "@WAIT(12,108);", false},
        {"no ')' with text after", nullptr, "@WAIT(12,96;@COLOR(1;", 12, "@WAIT(12,108);", false},
        {"')' late in the line", nullptr, "@WAIT(1234567,89012);x", 0, "@WAIT(1234567,8);x", false},
        {"nothing after", nullptr, "@WAIT(12,96);", 12, "@WAIT(12,108);", false},
    });
}

TEST(TimingOffset, LinesThatOnlyLookLikeWaitLinesStayUntouched)
{
    const char *lines[] = {
        " @WAIT(12,96);",        "@wait(12,96);",
        "@WAIT (12,96);",        "@WAIT",
        "@WMODE(23,0);",         "",
        "\x82\xA0@WAIT(12,96);", "@----\x8Fo\x8C\xBB\x8FI\x97\xB9--@WAIT(12,48);",
    };
    for (const char *line : lines) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(shiftedWaitLine(line, 12, BarMath()).has_value());
    }
}

TEST(TimingOffset, RewritesAWholeScriptAndCounts)
{
    std::vector<ScriptLine> script = {
        "@STARTUP(0);",
        "@WAIT(1,24);",
        "\x82\xA0\x82\xA2",
        "@WAIT(2,0);@COLOR(31);",
        "@wait(2,96);",
        "@WAIT(0,0);",
        "",
    };
    const TimingOffsetResult result = applyTimingOffset(script, -48, BarMath(&threeFour()));
    EXPECT_EQ(result, (TimingOffsetResult{3, 2}));
    const std::vector<ScriptLine> expected = {
        "@STARTUP(0);",
        "@WAIT(1,0);",
        "\x82\xA0\x82\xA2",
        "@WAIT(1,96);@COLOR(31);",
        "@wait(2,96);",
        "@WAIT(1,0);",
        "",
    };
    EXPECT_EQ(script, expected);

    std::vector<ScriptLine> none = {"abc", "@COLOR(32);"};
    const std::vector<ScriptLine> before = none;
    EXPECT_EQ(applyTimingOffset(none, 48, BarMath()), (TimingOffsetResult{0, 0}));
    EXPECT_EQ(none, before);

    std::vector<ScriptLine> empty;
    EXPECT_EQ(applyTimingOffset(empty, 48, BarMath()), (TimingOffsetResult{0, 0}));
}

TEST(TimingOffset, ShiftingBackAndForthReturnsWithinABar)
{
    const BarMath bars(&threeFour());
    for (int choice = 1; choice <= kTimingOffsetChoiceCount; ++choice) {
        const int steps = timingOffsetSteps(choice);
        const auto there = shiftedWaitLine("@WAIT(20,96);", steps, bars);
        ASSERT_TRUE(there);
        const auto back = shiftedWaitLine(*there, -steps, bars);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, "@WAIT(20,96);") << choice;
    }
}

} // namespace
} // namespace velkan
