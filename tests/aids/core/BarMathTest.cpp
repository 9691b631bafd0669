#include "midi/BarMath.h"

#include "MeterMaps.h"

#include <gtest/gtest.h>

#include <limits>

namespace velkan {
namespace {

using test::fourFour;
using test::fourThenThree;
using test::meterMap;
using test::threeFour;

TEST(BarMath, BarLengthsFollowTheMeterInForce)
{
    const MeterMap empty;
    const MeterMap midBar = meterMap({{0, 4}, {6, 3}});          // change inside bar 2
    const MeterMap sameBar = meterMap({{0, 4}, {4, 3}, {5, 2}}); // two changes in bar 2
    const MeterMap noNumerator = meterMap({{0, 0}});
    const MeterMap lateFirst = meterMap({{8, 3}});
    struct Case {
        const char *name;
        const MeterMap *map;
        int bar;
        int length;
    };
    const Case cases[] = {
        {"no song", nullptr, 1, 192},
        {"no song, far", nullptr, 5000, 192},
        {"empty map", &empty, 7, 192},
        {"4/4", &fourFour(), 3, 192},
        {"3/4", &threeFour(), 1, 144},
        {"3/4 later", &threeFour(), 99, 144},
        {"3/4 bar 0", &threeFour(), 0, 144},
        {"3/4 bar -3", &threeFour(), -3, 144},
        {"before change", &fourThenThree(), 8, 192},
        {"at change", &fourThenThree(), 9, 144},
        {"after change", &fourThenThree(), 40, 144},
        {"mid-bar change, bar 1", &midBar, 1, 192},
        {"mid-bar change takes its bar", &midBar, 2, 144},
        {"later change in a bar wins", &sameBar, 2, 96},
        {"zero numerator", &noNumerator, 1, 192},
        {"first entry governs bar 1", &lateFirst, 1, 144},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BarMath(c.map).barLength(c.bar), c.length);
    }
}

TEST(BarMath, BarsAreNumberedAsTheBeatClockNumbersThem)
{
    // Meter 4 from quarter 0, 3 from quarter 32: quarter 40 is bar 11, beat 3.
    const BarMath bars(&fourThenThree());
    EXPECT_EQ(bars.absoluteStep({11, 96}), 40 * 48);
    EXPECT_EQ(bars.positionAt(40 * 48), (MusicalPosition{11, 96}));
    EXPECT_EQ(bars.positionAt(32 * 48), (MusicalPosition{9, 0}));
    EXPECT_EQ(bars.positionAt(32 * 48 - 1), (MusicalPosition{8, 191}));
}

TEST(BarMath, AbsoluteStepsRoundTripThroughEveryKindOfBar)
{
    const BarMath bars(&fourThenThree());
    for (std::int64_t a = -1000; a < 4000; a += 7) {
        const MusicalPosition p = bars.positionAt(a);
        ASSERT_GE(p.step, 0);
        ASSERT_LT(p.step, bars.barLength(p.bar));
        ASSERT_EQ(bars.absoluteStep(p), a);
    }
}

TEST(BarMath, MovingByStepsCrossesBarsOfTheirRealLength)
{
    struct Case {
        const char *name;
        const MeterMap *map;
        MusicalPosition from;
        std::int64_t steps;
        MusicalPosition to;
    };
    const Case cases[] = {
        // 4/4: as "steps / 192 to the bar, the rest to the step, normalise twice".
        {"typed step 200, nothing added", nullptr, {3, 200}, 0, {4, 8}},
        {"quarter back within a bar", nullptr, {12, 96}, -48, {12, 48}},
        {"quarter back to the bar start", nullptr, {12, 48}, -48, {12, 0}},
        {"back over bar 1", nullptr, {0, 20}, -48, {-1, 164}},
        {"a bar and a half on", nullptr, {12, 144}, 288, {14, 48}},
        {"several bars back", nullptr, {20, 0}, -192 * 5 - 1, {14, 191}},
        {"far step", nullptr, {3, 600}, 0, {6, 24}},
        {"4/4 map as no song", &fourFour(), {12, 144}, 288, {14, 48}},
        // 3/4: 144 steps a bar.
        {"3/4 quarter back", &threeFour(), {12, 0}, -48, {11, 96}},
        {"3/4 carry", &threeFour(), {12, 120}, 48, {13, 24}},
        {"3/4 two bars", &threeFour(), {1, 0}, 288, {3, 0}},
        // Across the change from 4/4 to 3/4 at bar 9.
        {"into the 3/4 part", &fourThenThree(), {8, 96}, 192, {9, 96}},
        {"back into the 4/4 part", &fourThenThree(), {9, 48}, -96, {8, 144}},
        {"over several 3/4 bars", &fourThenThree(), {8, 0}, 192 + 3 * 144 + 5, {12, 5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BarMath bars(c.map);
        EXPECT_EQ(bars.added(c.from, c.steps), c.to);
        EXPECT_EQ(bars.subtracted(c.from, -c.steps), c.to);
        EXPECT_EQ(bars.stepsBetween(c.from, c.to), c.steps);
    }
}

TEST(BarMath, StepsBetweenCountsBarZeroAsLongAsBarOne)
{
    EXPECT_EQ(BarMath().stepsBetween({0, 0}, {12, 144}), 12 * 192 + 144);
    EXPECT_EQ(BarMath(&threeFour()).stepsBetween({0, 0}, {12, 96}), 12 * 144 + 96);
    EXPECT_EQ(BarMath().stepsBetween({12, 144}, {12, 96}), -48);
}

TEST(BarMath, SingleBorrowAndCarry)
{
    struct Case {
        const char *name;
        const MeterMap *map;
        MusicalPosition from;
        int steps;
        MusicalPosition to;
    };
    const Case cases[] = {
        {"borrow", nullptr, {12, 0}, -48, {11, 144}},
        {"no carry needed", nullptr, {12, 96}, -48, {12, 48}},
        {"carry to bar start", nullptr, {12, 180}, 12, {13, 0}},
        {"carry", nullptr, {12, 191}, 12, {13, 11}},
        {"borrow below bar 1", nullptr, {0, 0}, -48, {-1, 144}},
        {"carried once only", nullptr, {5, 400}, 12, {6, 220}},
        {"far negative borrowed once", nullptr, {12, -500}, -48, {11, -356}},
        {"3/4 borrow", &threeFour(), {12, 0}, -48, {11, 96}},
        {"3/4 carry", &threeFour(), {12, 120}, 48, {13, 24}},
        {"3/4 within", &threeFour(), {12, 48}, 48, {12, 96}},
        // A borrow takes the length of the bar before, a carry that of the bar
        // the step stands in.
        {"borrow from a 4/4 bar", &fourThenThree(), {9, 0}, -48, {8, 144}},
        {"carry out of a 4/4 bar", &fourThenThree(), {8, 180}, 24, {9, 12}},
        {"carry out of a 3/4 bar", &fourThenThree(), {9, 130}, 24, {10, 10}},
        {"4/4 step kept in a 4/4 bar", &fourThenThree(), {8, 150}, 24, {8, 174}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BarMath(c.map).shiftedOnce(c.from, c.steps), c.to);
    }
    EXPECT_EQ(BarMath().normalisedOnce({4, 192}), (MusicalPosition{5, 0}));
}

TEST(BarMath, NothingIsWrittenBeforeBarOne)
{
    struct Case {
        const char *name;
        const MeterMap *map;
        MusicalPosition in;
        MusicalPosition out;
        bool held;
    };
    const Case cases[] = {
        {"start itself", nullptr, {1, 0}, {1, 0}, false},
        {"ordinary", nullptr, {12, 48}, {12, 48}, false},
        {"unnormalised kept", nullptr, {3, 200}, {3, 200}, false},
        {"negative step reaching back stays if after start", nullptr, {2, -100}, {2, -100}, false},
        {"bar 0 end", nullptr, {0, 191}, {1, 0}, true},
        {"negative bar", nullptr, {-1, 144}, {1, 0}, true},
        {"bar 1, negative step", nullptr, {1, -1}, {1, 0}, true},
        {"reaching before start", nullptr, {2, -300}, {1, 0}, true},
        {"bar 0 past its end renamed", nullptr, {0, 200}, {1, 8}, false},
        {"3/4 bar 0 past its end", &threeFour(), {0, 150}, {1, 6}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        bool held = !c.held;
        EXPECT_EQ(BarMath(c.map).clampedToStart(c.in, &held), c.out);
        EXPECT_EQ(held, c.held);
    }
}

TEST(BarMath, ExtremeNumbersSaturateInsteadOfOverflowing)
{
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const BarMath bars;
    EXPECT_EQ(bars.shiftedOnce({kMax, kMax}, 48).bar, kMax);
    EXPECT_EQ(bars.shiftedOnce({kMin, kMin}, -48).bar, kMin);
    EXPECT_EQ(bars.added({kMax, 0}, 192 * 3).bar, kMax);
}

} // namespace
} // namespace velkan
