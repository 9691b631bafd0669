#include "midi/BeatClock.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkan {
namespace {

SongTiming timingOf(std::initializer_list<MeterChange> meters,
                    std::initializer_list<TempoChange> tempos = {})
{
    SongTiming t;
    for (const MeterChange &m : meters)
        t.meter.append(m);
    for (const TempoChange &c : tempos)
        t.tempo.append(c);
    return t;
}

TEST(LocatePosition, CountsBarsAcrossMeterChanges)
{
    const SongTiming timing = timingOf({{0, 4}, {32, 3}});
    struct Case {
        int q, completed, bar, beat, meterCursor, meterPending;
    };
    for (Case c : {Case{40, 10, 11, 3, 1, 0},
                   {0, 0, 1, 1, 0, 1},
                   {31, 7, 8, 4, 0, 1},
                   {32, 8, 9, 1, 1, 0},
                   {34, 8, 9, 3, 1, 0},
                   {35, 9, 10, 1, 1, 0}}) {
        BeatClock clock;
        EXPECT_EQ(locatePosition(clock, timing, c.q), c.completed) << c.q;
        EXPECT_EQ(clock.bar, c.bar) << c.q;
        EXPECT_EQ(clock.beat, c.beat) << c.q;
        EXPECT_EQ(clock.quarterTick, c.q);
        EXPECT_EQ(clock.meterCursor, c.meterCursor) << c.q;
        EXPECT_EQ(clock.meterPending, c.meterPending) << c.q;
    }
}

TEST(LocatePosition, EmptyMeterMapCountsFourToTheBar)
{
    const SongTiming timing;
    BeatClock clock;
    // A 4/4 song 640 sixteenths long ends where bar 41 begins.
    EXPECT_EQ(locatePosition(clock, timing, 640 / 4) + 1, 41);
    EXPECT_EQ(locatePosition(clock, timing, 18), 4);
    EXPECT_EQ(clock.beat, 3);
    EXPECT_TRUE(timing.meter.isEmpty());
}

TEST(LocatePosition, BeforeTheFirstMeterEventTheFirstMeterHolds)
{
    const SongTiming timing = timingOf({{6, 3}, {12, 4}});
    BeatClock clock;
    for (int q = 0; q < 12; ++q) {
        EXPECT_EQ(locatePosition(clock, timing, q), q / 3);
        EXPECT_EQ(clock.beat, q % 3 + 1) << q;
    }
    EXPECT_EQ(locatePosition(clock, timing, 13), 4);
    EXPECT_EQ(clock.beat, 2);
}

TEST(LocatePosition, PlacesTheTempoCursor)
{
    const SongTiming timing =
        timingOf({{0, 4}}, {{8, 500, 500000}, {16, 400, 400000}, {64, 600, 600000}});
    struct Case {
        int q, cursor, pending;
    };
    for (Case c :
         {Case{2, 0, 1}, {8, 0, 1}, {10, 0, 1}, {16, 1, 1}, {63, 1, 1}, {64, 2, 0}, {100, 2, 0}}) {
        BeatClock clock;
        locatePosition(clock, timing, c.q);
        EXPECT_EQ(clock.tempoCursor, c.cursor) << c.q;
        EXPECT_EQ(clock.tempoPending, c.pending) << c.q;
    }
    BeatClock clock;
    locatePosition(clock, SongTiming{}, 10);
    EXPECT_EQ(clock.tempoCursor, 0);
    EXPECT_EQ(clock.tempoPending, 0);
}

TEST(BeatClockStart, PutsTheDefaultMeterIntoAnEmptyTable)
{
    SongTiming timing;
    BeatClock clock;
    EXPECT_EQ(startFromTop(clock, timing), kDefaultPeriodUs);
    ASSERT_EQ(timing.meter.count(), 1);
    EXPECT_EQ(timing.meter[0], kDefaultMeter);
    EXPECT_EQ(clock.bar, 1);
    EXPECT_EQ(clock.beat, 1);
    EXPECT_EQ(clock.beatsPerBar, 4);
    EXPECT_EQ(clock.meterPending, 0);
    EXPECT_EQ(clock.tempoPending, 0);

    SongTiming song = timingOf({{0, 3}}, {{0, 462, 461538}});
    EXPECT_EQ(startFromTop(clock, song), 461538);
    EXPECT_EQ(song.meter.count(), 1);
    EXPECT_EQ(clock.beatsPerBar, 3);
    EXPECT_EQ(clock.meterPending, 1);
    EXPECT_EQ(clock.tempoPending, 1);
}

TEST(BeatClockPeriod, ExactMicrosecondsNeverBelowOneMillisecond)
{
    EXPECT_EQ(periodUs({0, 462, 461538}), 461538);
    EXPECT_EQ(periodUs({0, 462, 0}), 462000);
    EXPECT_EQ(periodUs({0, 0, 1}), kMinPeriodUs);
    EXPECT_EQ(periodUs({0, 0, 0}), kMinPeriodUs);
    EXPECT_EQ(periodUsAt(TempoMap{}, 0), 500000);
}

struct TickLog {
    std::vector<int> barTurnQuarters;
    std::vector<int> thumbs;
    std::vector<std::pair<int, std::int64_t>> periodChanges;
    int endQuarter = -1;
    BeatClock clock;
};

// Runs the clock from the top tick by tick until the song ends (or maxTicks).
TickLog runFromTop(SongTiming timing, std::int32_t songLength, int maxTicks = 100000)
{
    TickLog log;
    startFromTop(log.clock, timing);
    for (int i = 0; i < maxTicks; ++i) {
        const TickResult r = tickBeatClock(log.clock, timing, songLength);
        EXPECT_EQ(r.bar, log.clock.bar);
        EXPECT_EQ(r.beat, log.clock.beat);
        if (r.barChanged) {
            log.barTurnQuarters.push_back(log.clock.quarterTick);
            log.thumbs.push_back(r.thumbPosition);
        }
        if (r.periodChanged)
            log.periodChanges.emplace_back(log.clock.quarterTick, r.newPeriodUs);
        if (r.songEnded) {
            EXPECT_FALSE(r.periodChanged);
            log.endQuarter = log.clock.quarterTick;
            break;
        }
    }
    return log;
}

TEST(BeatClockTick, FourFourTurnsEveryFourthBeatAndEndsAtTheSongEnd)
{
    const TickLog log = runFromTop(timingOf({}, {{0, 500, 500000}}), 64);
    EXPECT_EQ(log.barTurnQuarters, (std::vector<int>{4, 8, 12, 16}));
    EXPECT_EQ(log.thumbs, (std::vector<int>{16, 32, 48, 64}));
    EXPECT_EQ(log.endQuarter, 16);
    EXPECT_EQ(log.clock.bar, 5);
    EXPECT_TRUE(log.periodChanges.empty());
}

TEST(BeatClockTick, ThreeFourSongEndsAtItsRealEnd)
{
    // 100 bars of 3/4: 300 quarters, 1200 sixteenths.
    const TickLog log = runFromTop(timingOf({{0, 3}}, {{0, 500, 500000}}), 1200);
    EXPECT_EQ(log.endQuarter, 300);
    EXPECT_EQ(log.clock.bar, 101);
    EXPECT_EQ(log.thumbs.at(0), 12);
    EXPECT_EQ(log.thumbs.back(), 1200);
}

TEST(BeatClockTick, MeterChangeAppliesFromItsQuarter)
{
    const TickLog log = runFromTop(timingOf({{0, 4}, {8, 3}, {14, 2}}), 4 * 20);
    EXPECT_EQ(log.barTurnQuarters, (std::vector<int>{4, 8, 11, 14, 16, 18, 20}));
    EXPECT_EQ(log.thumbs, (std::vector<int>{16, 32, 44, 56, 64, 72, 80}));
}

TEST(BeatClockTick, TempoChangesRestartTheTimerOnlyWhenThePeriodChanges)
{
    const TickLog log = runFromTop(
        timingOf({{0, 4}},
                 {{0, 500, 500000}, {4, 462, 461538}, {4, 462, 461538}, {6, 400, 400000}}),
        4 * 40);
    EXPECT_EQ(log.periodChanges,
              (std::vector<std::pair<int, std::int64_t>>{{4, 461538}, {6, 400000}}));
    EXPECT_EQ(log.clock.tempoPending, 0);
}

TEST(BeatClockTick, NoTempoChangeWhenTheSongEndsOnIt)
{
    const TickLog log = runFromTop(timingOf({{0, 4}}, {{0, 500, 500000}, {4, 250, 250000}}), 16);
    EXPECT_EQ(log.endQuarter, 4);
    EXPECT_TRUE(log.periodChanges.empty());
}

TEST(BeatClockTick, RunningClockAgreesWithLocatePosition)
{
    const SongTiming timing = timingOf({{0, 4}, {8, 3}, {14, 6}, {26, 5}, {36, 4}});
    SongTiming running = timing;
    BeatClock clock;
    startFromTop(clock, running);
    for (int i = 0; i < 60; ++i) {
        tickBeatClock(clock, running, 1 << 20);
        BeatClock located;
        locatePosition(located, timing, clock.quarterTick);
        EXPECT_EQ(located.bar, clock.bar) << clock.quarterTick;
        EXPECT_EQ(located.beat, clock.beat) << clock.quarterTick;
    }
}

TEST(BeatClockResume, SeeksToTheStartOfTheCurrentBeat)
{
    struct Case {
        SongTiming timing;
        std::int32_t device, seek, bar, beat;
    };
    const Case cases[] = {
        // Paused in beat 3 of bar 5 of a 4/4 song.
        {timingOf({{0, 4}}), 16 * 4 + 4 * 2 + 3, 72, 5, 3},
        {SongTiming{}, 72, 72, 5, 3},
        // The same bar and beat in 3/4: quarter 14.
        {timingOf({{0, 3}}), 14 * 4 + 1, 56, 5, 3},
        {timingOf({{0, 4}, {8, 3}}), 12 * 4 + 2, 48, 4, 2},
    };
    for (const Case &c : cases) {
        BeatClock clock;
        const ResumePlan plan = resumeAt(clock, c.timing, c.device);
        EXPECT_EQ(plan.seekPosition, c.seek) << c.device;
        EXPECT_EQ(resumePosition(clock), c.seek);
        EXPECT_EQ(clock.bar, c.bar);
        EXPECT_EQ(clock.beat, c.beat);
        EXPECT_EQ(plan.periodUs, kDefaultPeriodUs);
    }
    // In 4/4 the seek is 16 x (bar - 1) + 4 x (beat - 1).
    BeatClock clock;
    for (int p = 0; p < 400; p += 3) {
        const ResumePlan plan = resumeAt(clock, timingOf({{0, 4}}), p);
        EXPECT_EQ(plan.seekPosition, 16 * (clock.bar - 1) + 4 * (clock.beat - 1));
    }
}

TEST(BeatClockResume, TakesTheTempoAndMeterInForce)
{
    const SongTiming timing =
        timingOf({{0, 4}, {8, 3}}, {{0, 500, 500000}, {10, 462, 461538}, {40, 400, 400000}});
    BeatClock clock;
    const ResumePlan plan = resumeAt(clock, timing, 12 * 4);
    EXPECT_EQ(plan.periodUs, 461538);
    EXPECT_EQ(clock.beatsPerBar, 3);
    // The next tick re-applies the tempo in force: only quarter 40 changes it.
    for (int i = 0; i < 30; ++i) {
        const TickResult r = tickBeatClock(clock, timing, 1000);
        EXPECT_EQ(r.periodChanged, clock.quarterTick == 40) << clock.quarterTick;
    }
}

} // namespace
} // namespace velkan
