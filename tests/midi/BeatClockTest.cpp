#include "midi/BeatClock.h"
#include "midi/LyricFollow.h"

#include "TickUnits.h"

#include <gtest/gtest.h>

#include <memory>

namespace velkan {
namespace {

using test::kDiv;
using test::ms;
using test::q;

std::shared_ptr<const SongTimeline> song(std::vector<TempoEvent> tempos,
                                         std::vector<TimeSignatureEvent> signatures)
{
    return std::make_shared<const SongTimeline>(kDiv, std::move(tempos), std::move(signatures));
}

// A clock started at `startNanos` from the top of a song of `length` sixteenths.
BeatClock running(std::shared_ptr<const SongTimeline> timeline, std::int32_t length,
                  std::int64_t startNanos = ms(1000))
{
    BeatClock clock;
    clock.setTimeline(std::move(timeline));
    clock.runFrom(0, startNanos, length);
    return clock;
}

TEST(BeatClockLocate, CountsBarsThroughTheTimeline)
{
    struct Case {
        const char *name;
        std::vector<TimeSignatureEvent> signatures;
        std::int64_t tick;
        std::int32_t completed;
        BarBeat at;
    };
    const Case cases[] = {
        {"4 then 3 from quarter 32", {{0, 4, 2}, {q(32), 3, 2}}, q(40), 10, {11, 3}},
        {"no signature: 4/4", {}, q(9), 2, {3, 2}},
        {"late first signature: 4/4 before it", {{q(4), 3, 2}}, q(10), 3, {4, 1}},
        {"a 3/4 inside a bar waits for the line", {{0, 4, 2}, {q(6), 3, 2}}, q(7), 1, {2, 4}},
        {"6/8", {{0, 6, 3}}, q(7), 2, {3, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeatClock clock;
        clock.setTimeline(song({}, c.signatures));
        EXPECT_EQ(clock.locate(c.tick), c.completed);
        const BeatPlace beat = clock.beatAt(0);
        EXPECT_EQ((BarBeat{beat.bar, beat.beat}), c.at);
        EXPECT_FALSE(clock.isRunning());
    }
}

TEST(BeatClockRun, ReadsTheSongAtAnyMoment)
{
    // 500 ms a quarter, then 250 ms from the middle of quarter 4.
    const BeatClock clock = running(song({{q(4.5), 250000}}, {}), 640);
    struct Case {
        std::int64_t at;
        BeatPlace beat;
    };
    for (const Case &c :
         {Case{ms(999), {1, 1, 0, q(1)}}, Case{ms(1000), {1, 1, 0, q(1)}},
          Case{ms(2500) - 1, {1, 3, q(2), q(3)}}, Case{ms(2500), {1, 4, q(3), q(4)}},
          Case{ms(3000), {2, 1, q(4), q(5)}}, Case{ms(3375), {2, 2, q(5), q(6)}}}) {
        SCOPED_TRACE(c.at);
        EXPECT_EQ(clock.beatAt(c.at), c.beat);
    }
    EXPECT_EQ(clock.nanosOf(q(5)), ms(1000 + 2250 + 125));
    EXPECT_EQ(clock.tickAt(clock.nanosOf(q(5))), q(5));
}

TEST(BeatClockRun, StopsAtTheFirstBarLineAtOrPastTheSongsLength)
{
    struct Case {
        const char *name;
        std::vector<TimeSignatureEvent> signatures;
        std::int32_t length;
        std::int64_t from;
        std::int64_t end;
    };
    const Case cases[] = {
        {"4/4, 640 sixteenths: bar 41", {}, 640, 0, q(160)},
        {"3/4, 100 bars: at their real end", {{0, 3, 2}}, 1200, 0, q(300)},
        {"ends inside a bar: its end", {{0, 3, 2}}, 1201, 0, q(303)},
        {"no length: the first bar line", {}, 0, 0, q(4)},
        {"resumed past the length: the next bar line", {}, 64, q(21), q(24)},
        {"pickup", {{0, 1, 2}, {q(1), 4, 2}}, 8, 0, q(5)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeatClock clock;
        clock.setTimeline(song({}, c.signatures));
        clock.runFrom(c.from, 0, c.length);
        EXPECT_EQ(clock.endTick(), c.end);
        EXPECT_EQ(clock.tickAt(ms(1e9)), c.end);
        EXPECT_TRUE(beatStarting(clock, c.end).songEnded);
        EXPECT_TRUE(beatStarting(clock, c.end).barChanged);
    }
}

TEST(BeatClockRun, HoldStandsWhereTheSongWas)
{
    BeatClock clock = running(song({}, {}), 640, 0);
    clock.holdAt(ms(2600));
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(clock.beatAt(ms(9000)), (BeatPlace{2, 2, q(5), q(6)}));
    EXPECT_EQ(clock.originTick(), q(5.2));
}

TEST(BeatClockRun, WithoutASongThereIsNoBeat)
{
    BeatClock clock;
    EXPECT_EQ(clock.locate(q(3)), 0);
    clock.runFrom(0, 0, 640);
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(clock.beatAt(ms(500)), BeatPlace{});
    EXPECT_EQ(lyricFollowLine(clock, ms(500)), std::nullopt);
}

TEST(BeatClockSpeed, AChangeGoesOnFromTheSongsExactNanosecond)
{
    // 960 ticks a second (1041666.7 ns each); the change 0.9 of a tick past
    // quarter 1, so 104166.7 ns of song short of its next tick.
    const auto timeline = song({}, {});
    const std::int64_t change = ms(500) + 937500;
    struct Case {
        double speed;
        std::int64_t wallAfter;
        std::int64_t tick;
    };
    for (const Case &c :
         {Case{0.5, 208334, q(1) + 1}, Case{0.5, 208332, q(1)}, Case{1.5, 69445, q(1) + 1},
          Case{1.5, 69443, q(1)}, Case{0.5, ms(1000), q(2)}, Case{1.5, ms(1000), q(4)}}) {
        SCOPED_TRACE(testing::Message() << c.speed << " +" << c.wallAfter);
        BeatClock clock = running(timeline, 640, 0);
        clock.setSpeed(c.speed, change);
        EXPECT_EQ(clock.tickAt(change), q(1));
        EXPECT_EQ(clock.tickAt(change + c.wallAfter), c.tick);
    }
}

TEST(BeatClockSpeed, NanosOfIsTheFirstMomentATickIsRead)
{
    const auto timeline = song({{q(1.3), 437500}, {q(2.71), 910000}}, {});
    for (const double speed : {0.5, 0.55, 0.65, 0.95, 1.0, 1.05, 1.35, 1.5}) {
        SCOPED_TRACE(speed);
        BeatClock clock;
        clock.setTimeline(timeline);
        clock.runFrom(q(0.4) + 3, ms(77), 640, 1.1);
        clock.setSpeed(speed, ms(500) + 5);
        // Ticks after the change: those before it sounded at the first speed.
        for (std::int64_t tick = q(1.6) - 3; tick < q(4); tick += 37) {
            const std::int64_t at = clock.nanosOf(tick);
            ASSERT_EQ(clock.tickAt(at), tick) << tick;
            ASSERT_LT(clock.tickAt(at - 1), tick) << tick;
        }
    }
}

// The device took the speed up at its own place in the song, near the moment
// of the change: the clock turns there. 480 ticks of 1 ms a quarter.
TEST(BeatClockSpeed, AChangeTurnsWhereTheDeviceTookItUp)
{
    const auto timeline = song({{0, 480000}}, {});
    struct Case {
        const char *name;
        double earlier; // a change at 1000 ms before this one (0: none)
        double speed;
        std::int64_t placeMs; // song time the device turned at
        std::int64_t atMs;    // the moment of the change
        std::int64_t probeMs;
        std::int64_t tick;
    };
    const Case cases[] = {
        {"turned 2 ms before: 51 ms of song in 102", 0, 0.5, 998, 1000, 1100, 1049},
        {"just after the place, at the new speed", 0, 0.5, 998, 1000, 999, 998},
        {"turned 3 ms after: the old speed up to it", 0, 1.5, 1003, 1000, 1002, 1002},
        {"after it, at the new", 0, 1.5, 1003, 1000, 1103, 1153},
        {"a place 200 ms off is not believed", 0, 0.5, 1200, 1000, 1100, 1050},
        {"before the last change: turns at that change", 0.5, 1.5, 900, 1010, 1100, 1150},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BeatClock clock = running(timeline, 10000, 0);
        if (c.earlier > 0)
            clock.setSpeed(c.earlier, ms(1000));
        clock.setSpeedFrom(c.speed, ms(c.placeMs), ms(c.atMs));
        EXPECT_EQ(clock.tickAt(ms(c.probeMs)), c.tick);
        // Before and after the turn, a tick's moment is the first that reads it.
        for (std::int64_t tick = 950; tick < 1250; tick += 7) {
            const std::int64_t at = clock.nanosOf(tick);
            ASSERT_EQ(clock.tickAt(at), tick) << tick;
            ASSERT_LT(clock.tickAt(at - 1), tick) << tick;
        }
    }
}

TEST(BeatStarting, BarLinesMoveTheThumbToTheirRealPosition)
{
    const BeatClock clock = running(song({}, {{0, 3, 3}}), 640); // 3/8
    struct Case {
        std::int64_t tick;
        bool barChanged;
        std::int32_t thumb;
    };
    for (const Case &c : {Case{q(1), false, 0}, Case{q(1.5), true, 6}, Case{q(2.5), false, 0},
                          Case{q(3), true, 12}}) {
        SCOPED_TRACE(c.tick);
        const BeatStart start = beatStarting(clock, c.tick);
        EXPECT_EQ(start.barChanged, c.barChanged);
        EXPECT_EQ(start.thumbPosition, c.thumb);
        EXPECT_FALSE(start.songEnded);
    }
}

TEST(ResumePlan, SeeksTheStartOfTheBeatHoldingTheDevicePosition)
{
    struct Case {
        const char *name;
        int division;
        std::vector<TimeSignatureEvent> signatures;
        std::int32_t position;
        ResumePlan plan;
    };
    const Case cases[] = {
        {"4/4 bar 5 beat 3, half a beat in", kDiv, {}, 74, {72, q(18)}},
        {"3/4 bar 5 beat 2", kDiv, {{0, 3, 2}}, 53, {52, q(13)}},
        {"3/8 second beat is an eighth", kDiv, {{0, 3, 3}}, 5, {4, q(1)}},
        {"after a pickup", kDiv, {{0, 1, 2}, {q(1), 4, 2}}, 11, {8, q(2)}},
        {"beat start off the sixteenth grid", 25, {{0, 3, 3}}, 7, {6, 37}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SongTimeline timeline(c.division, {}, c.signatures);
        const ResumePlan plan = resumePlan(timeline, c.position);
        EXPECT_EQ(plan.seekPosition, c.plan.seekPosition);
        EXPECT_EQ(plan.startTick, c.plan.startTick);
    }
}

// A press reads the song at its own moment: every tap more than a millisecond
// after a beat's start gets that beat, every tap more than a millisecond
// before it the beat before.
TEST(LyricFollowStamp, TapsAroundEveryBeatEdgeGetTheirBeat)
{
    struct Case {
        const char *name;
        std::vector<TempoEvent> tempos;
        std::vector<TimeSignatureEvent> signatures;
    };
    const Case cases[] = {
        {"two tempos on tick 0", {{0, 1000000}, {0, 416667}}, {{0, 4, 2}, {q(4), 3, 2}}},
        {"tempo inside quarters", {{q(0.5), 350000}, {q(2.25), 700000}, {q(5.75), 300000}}, {}},
        {"3/8 and 5/8", {{0, 600000}}, {{0, 3, 3}, {q(3), 5, 3}}},
        {"pickup", {}, {{0, 1, 2}, {q(1), 4, 2}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto timeline = song(c.tempos, c.signatures);
        const BeatClock clock = running(timeline, 10000, 0);
        std::int64_t edge = 0;
        for (int n = 0; n < 40; ++n) {
            const BeatPlace before = timeline->beatAt(std::max<std::int64_t>(edge - 1, 0));
            const BeatPlace after = timeline->beatAt(edge);
            const std::int64_t at = timeline->nanosAt(edge);
            for (std::int64_t off = -5; off <= 5; ++off) {
                if (off == 0 || (edge == 0 && off < 0))
                    continue;
                const BeatPlace expected = off > 0 ? after : before;
                ASSERT_EQ(lyricFollowLine(clock, at + off * ms(1)),
                          lyricFollowLine(BarBeat{expected.bar, expected.beat}))
                    << "beat edge " << n << " at tick " << edge << ", offset " << off << " ms";
            }
            edge = after.endTick;
        }
    }
}

} // namespace
} // namespace velkan
