#include "midi/BarMath.h"
#include "midi/BeatClock.h"

#include "MeterMaps.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace velkan {
namespace {

using test::fourFour;
using test::fourThenThree;
using test::threeFour;
using test::timelineOf;

TEST(BarMath, BarLengthsFollowTheMeterInForce)
{
    const SongTimeline noSignature;
    const SongTimeline midBar = timelineOf({{0, 4}, {6, 3}});          // 3/4 inside bar 2
    const SongTimeline sameBar = timelineOf({{0, 4}, {5, 3}, {6, 2}}); // two inside bar 2
    const SongTimeline noNumerator = timelineOf({{0, 0}});
    const SongTimeline lateFirst = timelineOf({{8, 3}});
    const SongTimeline eighths = timelineOf({{0, 3, 3}, {3, 5, 3}, {8, 9, 3}, {17, 6, 3}});
    const SongTimeline halves = timelineOf({{0, 2, 1}, {4, 12, 3}});
    const SongTimeline pickup = timelineOf({{0, 1}, {1, 4}});
    const SongTimeline oddDivision = timelineOf({{0, 3, 3}}, 25);
    struct Case {
        const char *name;
        const SongTimeline *timeline;
        int bar;
        int length;
    };
    const Case cases[] = {
        {"no song", nullptr, 1, 192},
        {"no song, far", nullptr, 5000, 192},
        {"no time signature", &noSignature, 7, 192},
        {"4/4", &fourFour(), 3, 192},
        {"3/4", &threeFour(), 1, 144},
        {"3/4 later", &threeFour(), 99, 144},
        {"3/4 bar 0", &threeFour(), 0, 144},
        {"3/4 bar -3", &threeFour(), -3, 144},
        {"before change", &fourThenThree(), 8, 192},
        {"at change", &fourThenThree(), 9, 144},
        {"after change", &fourThenThree(), 40, 144},
        {"mid-bar change, bar 1", &midBar, 1, 192},
        {"mid-bar change keeps its bar", &midBar, 2, 192},
        {"mid-bar change from the next bar line", &midBar, 3, 144},
        {"two changes in a bar: the later one", &sameBar, 3, 96},
        {"zero numerator", &noNumerator, 1, 192},
        {"late first signature: 4/4 before it", &lateFirst, 2, 192},
        {"late first signature from its bar", &lateFirst, 3, 144},
        {"3/8", &eighths, 2, 72},
        {"5/8", &eighths, 3, 120},
        {"9/8", &eighths, 5, 216},
        {"6/8", &eighths, 7, 144},
        {"2/2", &halves, 1, 192},
        {"12/8", &halves, 2, 288},
        {"pickup bar", &pickup, 1, 48},
        {"bar 0 as long as the pickup", &pickup, 0, 48},
        {"after the pickup", &pickup, 2, 192},
        // 37 ticks: step 71 is tick 36, step 72 the next bar line.
        {"3/8 at 25 ticks a quarter", &oddDivision, 4, 72},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BarMath(c.timeline).barLength(c.bar), c.length);
    }
}

// Every tick's position, as the clock names it, is a position BarMath counts
// the same, and every step BarMath counts in a bar is one the player waits
// for inside that bar.
TEST(BarMath, BarsAreNumberedAsTheBeatClockNumbersThem)
{
    struct Case {
        const char *name;
        SongTimeline timeline;
    };
    const Case cases[] = {
        {"pickup", timelineOf({{0, 1}, {1, 4}})},
        {"3/4 inside a 4/4 bar", timelineOf({{0, 4}, {6, 3}})},
        {"late first signature inside a bar", timelineOf({{10, 3}})},
        {"3/8, 5/8, 9/8", timelineOf({{0, 3, 3}, {3, 5, 3}, {8, 9, 3}})},
        {"division 25, 3/8 then 5/8 inside a bar", SongTimeline(25, {}, {{0, 3, 3}, {100, 5, 3}})},
    };
    constexpr std::int32_t kBars = 30;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto timeline = std::make_shared<const SongTimeline>(c.timeline);
        const BarMath bars(timeline.get());
        BeatClock clock;
        clock.setTimeline(timeline);

        std::int64_t lastAbsolute = -1;
        for (std::int64_t tick = 0; tick < timeline->barStart(kBars); ++tick) {
            const MusicalPosition p = timeline->positionAt(tick);
            ASSERT_EQ(clock.locate(tick), p.bar - 1) << "tick " << tick;
            ASSERT_EQ(clock.beatAt(0).bar, p.bar) << "tick " << tick;
            ASSERT_GE(p.step, 0) << "tick " << tick;
            ASSERT_LT(p.step, bars.barLength(p.bar)) << "tick " << tick;
            ASSERT_EQ(bars.positionAt(bars.absoluteStep(p)), p) << "tick " << tick;
            ASSERT_GE(bars.absoluteStep(p), lastAbsolute) << "tick " << tick;
            lastAbsolute = bars.absoluteStep(p);
        }

        std::int64_t lastTick = 0;
        for (std::int64_t a = 0; a < bars.absoluteStep({kBars, 0}); ++a) {
            const MusicalPosition p = bars.positionAt(a);
            const std::int64_t tick = timeline->tickOf(p);
            // Every step BarMath keeps in a bar the player waits for in that bar...
            ASSERT_EQ(timeline->barAt(tick).bar, p.bar) << "step " << a;
            ASSERT_EQ(clock.locate(tick), p.bar - 1) << "step " << a;
            ASSERT_EQ(timeline->positionAt(tick).bar, p.bar) << "step " << a;
            ASSERT_LE(timeline->positionAt(tick).step, p.step) << "step " << a;
            ASSERT_GE(tick, lastTick) << "step " << a;
            lastTick = tick;
            // ...and the step after a bar's last is the player's next bar.
            if (p.step == bars.barLength(p.bar) - 1) {
                const MusicalPosition past{p.bar, p.step + 1};
                ASSERT_EQ(timeline->barAt(timeline->tickOf(past)).bar, p.bar + 1) << "step " << a;
            }
        }
    }
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
    const SongTimeline threeEight = timelineOf({{0, 3, 3}});
    struct Case {
        const char *name;
        const SongTimeline *timeline;
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
        {"4/4 song as no song", &fourFour(), {12, 144}, 288, {14, 48}},
        // 3/4: 144 steps a bar.
        {"3/4 quarter back", &threeFour(), {12, 0}, -48, {11, 96}},
        {"3/4 carry", &threeFour(), {12, 120}, 48, {13, 24}},
        {"3/4 two bars", &threeFour(), {1, 0}, 288, {3, 0}},
        // Across the change from 4/4 to 3/4 at bar 9.
        {"into the 3/4 part", &fourThenThree(), {8, 96}, 192, {9, 96}},
        {"back into the 4/4 part", &fourThenThree(), {9, 48}, -96, {8, 144}},
        {"over several 3/4 bars", &fourThenThree(), {8, 0}, 192 + 3 * 144 + 5, {12, 5}},
        // 3/8: a bar and a half of quarters, 72 steps.
        {"3/8 quarter on", &threeEight, {2, 48}, 48, {3, 24}},
        {"3/8 a 4/4 bar on", &threeEight, {1, 0}, 192, {3, 48}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BarMath bars(c.timeline);
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
        const SongTimeline *timeline;
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
        EXPECT_EQ(BarMath(c.timeline).shiftedOnce(c.from, c.steps), c.to);
    }
    EXPECT_EQ(BarMath().normalisedOnce({4, 192}), (MusicalPosition{5, 0}));
}

TEST(BarMath, NothingIsWrittenBeforeBarOne)
{
    struct Case {
        const char *name;
        const SongTimeline *timeline;
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
        EXPECT_EQ(BarMath(c.timeline).clampedToStart(c.in, &held), c.out);
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
