#include "midi/TapGrid.h"
#include "midi/LyricFollow.h"

#include "TickUnits.h"

#include <gtest/gtest.h>

#include <memory>

namespace velkan {
namespace {

using test::kDiv;
using test::ms;
using test::q;

// To quarters a tap stamps what a Space press always stamped: the beat's start.
TEST(StampGrid, QuartersAreTheStartOfTheBeatInEveryMeter)
{
    struct Case {
        const char *name;
        int division;
        std::vector<TempoEvent> tempos;
        std::vector<TimeSignatureEvent> signatures;
    };
    const Case cases[] = {
        {"4/4", kDiv, {}, {}},
        {"3/4, tempo changes", kDiv, {{q(1.3), 350000}, {q(7.1), 800000}}, {{0, 3, 2}}},
        {"6/8", kDiv, {}, {{0, 6, 3}}},
        {"5/4 then 5/8", kDiv, {}, {{0, 5, 2}, {q(10), 5, 3}}},
        {"pickup", kDiv, {{0, 300000}}, {{0, 1, 2}, {q(1), 4, 2}}},
        {"division 25, 7/8", 25, {}, {{0, 7, 3}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto timeline = std::make_shared<const SongTimeline>(c.division, c.tempos, c.signatures);
        BeatClock clock;
        clock.setTimeline(timeline);
        clock.runFrom(0, 0, 10000);
        for (std::int64_t tick = 0; tick < 40 * c.division; tick += 7) {
            const std::int64_t at = timeline->nanosAt(tick);
            ASSERT_EQ(lyricFollowLine(clock, at, StampGrid::Quarter), lyricFollowLine(clock, at))
                << tick;
        }
    }
}

TEST(StampGrid, NudgesGoToTheNextGridPointCountedFromTheBarLine)
{
    // 4/4, then 5/8 (120 steps) from bar 3, then 3/4 from bar 5.
    const SongTimeline timeline(kDiv, {}, {{0, 4, 2}, {q(8), 5, 3}, {q(13), 3, 2}});
    const BarMath bars(&timeline);
    struct Case {
        MusicalPosition from;
        int direction;
        StampGrid grid;
        MusicalPosition to;
    };
    for (const Case &c : {
             Case{{2, 30}, +1, StampGrid::Eighth, {2, 48}}, // off the grid
             Case{{2, 30}, -1, StampGrid::Eighth, {2, 24}},
             Case{{2, 180}, +1, StampGrid::Sixteenth, {3, 0}},
             Case{{2, 0}, -1, StampGrid::Quarter, {1, 144}},
             Case{{3, 100}, +1, StampGrid::Quarter, {4, 0}}, // past the short last beat
             Case{{4, 0}, -1, StampGrid::Quarter, {3, 96}},
             Case{{2, 200}, +1, StampGrid::Quarter, {3, 48}}, // read as bar 3 step 8
             Case{{1, 0}, -1, StampGrid::Step, {1, 0}},       // never before bar 1
             Case{{0, 190}, +1, StampGrid::Sixteenth, {1, 0}},
         }) {
        SCOPED_TRACE(testing::Message() << c.from.bar << "," << c.from.step << " by " << c.direction
                                        << " to " << gridName(c.grid));
        EXPECT_EQ(nudged(c.from, c.direction, c.grid, bars), c.to);
    }
}

TEST(TapStamp, ReadsTheSongTheOffsetBeforeThePressToTheGrid)
{
    // 500 ms a quarter, 250 ms from quarter 4 (2000 ms); 6/8, then 5/8 from
    // quarter 6 (bar 3), 4/4 from quarter 8.5 (bar 4); the run from 500 ms.
    BeatClock clock;
    clock.setTimeline(std::make_shared<const SongTimeline>(
        kDiv, std::vector<TempoEvent>{{q(4), 250000}},
        std::vector<TimeSignatureEvent>{{0, 6, 3}, {q(6), 5, 3}, {q(8.5), 4, 2}}));
    clock.runFrom(0, ms(500), 10000);
    struct Case {
        std::int64_t press;
        StampGrid grid;
        std::int64_t latency;
        const char *line;
    };
    for (const Case &c : {Case{ms(1350), StampGrid::Eighth, 0, "@WAIT(1,72);"},
                          Case{ms(1440), StampGrid::Sixteenth, ms(40), "@WAIT(1,84);"},
                          Case{ms(1440), StampGrid::Step, ms(40), "@WAIT(1,86);"},
                          Case{ms(3600), StampGrid::Quarter, 0, "@WAIT(3,96);"}, // short beat
                          Case{ms(3600), StampGrid::Sixteenth, ms(-10), "@WAIT(3,108);"},
                          Case{ms(3963), StampGrid::Eighth, ms(100), "@WAIT(4,24);"},
                          Case{ms(520), StampGrid::Eighth, ms(30), "@WAIT(1,0);"}}) {
        SCOPED_TRACE(testing::Message() << c.press << " less " << c.latency);
        EXPECT_EQ(tapStamp(clock, c.press, c.grid, c.latency), c.line);
    }
    EXPECT_EQ(tapStamp(BeatClock(), ms(1000), StampGrid::Step, 0), std::nullopt);
}

} // namespace
} // namespace velkan
