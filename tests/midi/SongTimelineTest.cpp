#include "midi/SongTimeline.h"

#include "SmfBuilder.h"

#include "TickUnits.h"

#include <gtest/gtest.h>

#include <random>

namespace velkan {
namespace {

using test::TrackBuilder;

using test::kDiv;
using test::ms;
using test::q;

// Time as the sequencer plays it: tempo events at their exact ticks.
TEST(SongTimelineTime, EachTempoEventHoldsFromItsExactTick)
{
    struct Case {
        const char *name;
        std::vector<TempoEvent> tempos;
        std::int64_t tick;
        std::int64_t nanos;
    };
    const Case cases[] = {
        {"no tempo event: 120 a minute", {}, q(4), ms(2000)},
        {"one tempo at 0", {{0, 400000}}, q(3), ms(1200)},
        {"two on tick 0: the last holds", {{0, 1000000}, {0, 416667}}, q(3), 1'250'001'000},
        {"inside a quarter", {{0, 500000}, {q(0.5), 250000}}, q(1), ms(375)},
        {"first tempo after tick 0", {{q(2), 250000}}, q(3), ms(1250)},
        {"change back and forth", {{0, 600000}, {q(1), 300000}, {q(2), 600000}}, q(3), ms(1500)},
        {"repeats change nothing", {{0, 500000}, {q(1), 500000}, {q(1), 500000}}, q(2), ms(1000)},
        {"fractional nanoseconds round up", {{0, 461538}}, 1, 961538},
        {"before the start", {}, -5, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SongTimeline t(kDiv, c.tempos);
        EXPECT_EQ(t.nanosAt(c.tick), c.nanos);
        if (c.tick >= 0) {
            EXPECT_EQ(t.tickAt(c.nanos), c.tick);
        }
    }
}

TEST(SongTimelineTime, TickAtIsTheTickSoundingAtThatMoment)
{
    const SongTimeline t(kDiv, {{0, 500000}, {q(1), 250000}});
    EXPECT_EQ(t.tickAt(-1), 0);
    EXPECT_EQ(t.tickAt(ms(500) - 1), q(1) - 1);
    EXPECT_EQ(t.tickAt(ms(500)), q(1));
    EXPECT_EQ(t.tickAt(ms(750) - 1), q(2) - 1);
    EXPECT_EQ(t.tickAt(ms(750)), q(2));
    EXPECT_EQ(t.usPerQuarterAt(q(1) - 1), 500000u);
    EXPECT_EQ(t.usPerQuarterAt(q(1)), 250000u);
}

// Hundreds of tempo events (rubato piano pieces have 300-850), many on one
// quarter, against a plain tick-by-tick sum.
TEST(SongTimelineTime, ManyTempoEventsMatchATickByTickSum)
{
    std::mt19937 rng(13);
    std::vector<TempoEvent> tempos;
    std::int64_t tick = 0;
    for (int i = 0; i < 900; ++i) {
        tick += std::uniform_int_distribution<int>(0, 300)(rng);
        tempos.push_back(
            {tick, std::uniform_int_distribution<std::uint32_t>(200000, 1500000)(rng)});
    }
    const SongTimeline t(kDiv, tempos);
    std::vector<std::uint32_t> usOfTick(static_cast<std::size_t>(tick + 1000), 500000);
    for (const TempoEvent &e : tempos)
        std::fill(usOfTick.begin() + e.tick, usOfTick.end(), e.usPerQuarter);
    long double exactNs = 0;
    for (std::size_t k = 0; k < usOfTick.size(); ++k) {
        ASSERT_NEAR(static_cast<long double>(t.nanosAt(static_cast<std::int64_t>(k))), exactNs, 1.0)
            << "tick " << k;
        ASSERT_EQ(t.tickAt(t.nanosAt(static_cast<std::int64_t>(k))), static_cast<std::int64_t>(k));
        exactNs += usOfTick[k] * 1000.0L / kDiv;
    }
}

struct BarCase {
    const char *name;
    int division;
    std::vector<TimeSignatureEvent> signatures;
    // Bar lines of bars 1, 2, 3, ... in ticks.
    std::vector<std::int64_t> lines;
};

// Bars as the WRD player counts them.
TEST(SongTimelineBars, BarLinesFollowThePlayersRule)
{
    const BarCase cases[] = {
        {"no signature: 4/4", kDiv, {}, {0, q(4), q(8)}},
        {"3/4", kDiv, {{0, 3, 2}}, {0, q(3), q(6)}},
        {"6/8 is three quarters", kDiv, {{0, 6, 3}}, {0, q(3), q(6)}},
        {"3/8", kDiv, {{0, 3, 3}}, {0, q(1.5), q(3)}},
        {"5/8", kDiv, {{0, 5, 3}}, {0, q(2.5), q(5)}},
        {"9/8", kDiv, {{0, 9, 3}}, {0, q(4.5), q(9)}},
        {"12/8", kDiv, {{0, 12, 3}}, {0, q(6), q(12)}},
        {"2/2", kDiv, {{0, 2, 1}}, {0, q(4), q(8)}},
        {"pickup 1/4, then 4/4", kDiv, {{0, 1, 2}, {q(1), 4, 2}}, {0, q(1), q(5), q(9)}},
        {"3/4 inside a 4/4 bar waits for the bar line",
         kDiv,
         {{0, 4, 2}, {q(6), 3, 2}},
         {0, q(4), q(8), q(11), q(14)}},
        {"late first signature: 4/4 until then", kDiv, {{q(4), 3, 2}}, {0, q(4), q(7), q(10)}},
        {"late first signature inside a bar", kDiv, {{q(2), 3, 4}}, {0, q(4), q(4.75)}},
        {"two on tick 0: the last holds", kDiv, {{0, 4, 2}, {0, 3, 2}}, {0, q(3), q(6)}},
        {"two inside one bar: the last holds",
         kDiv,
         {{0, 4, 2}, {q(5), 3, 2}, {q(6), 2, 2}},
         {0, q(4), q(8), q(10), q(12)}},
        {"changed and changed back inside a bar",
         kDiv,
         {{0, 4, 2}, {q(5), 3, 2}, {q(6), 4, 2}},
         {0, q(4), q(8), q(12)}},
        {"integer ticks: division 25, 3/8", 25, {{0, 3, 3}}, {0, 37, 74}},
        {"numerator 0 and sub-tick bars are not counted", 8, {{0, 0, 2}, {0, 1, 6}}, {0, 32, 64}},
    };
    for (const BarCase &c : cases) {
        SCOPED_TRACE(c.name);
        const SongTimeline t(c.division, {}, c.signatures);
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            const std::int32_t bar = static_cast<std::int32_t>(i + 1);
            SCOPED_TRACE("bar " + std::to_string(bar));
            EXPECT_EQ(t.barStart(bar), c.lines[i]);
            const BarPlace at = t.barAt(c.lines[i]);
            EXPECT_EQ(at.bar, bar);
            EXPECT_EQ(at.startTick, c.lines[i]);
            if (c.lines[i] > 0) {
                EXPECT_EQ(t.barAt(c.lines[i] - 1).bar, bar - 1);
            }
            if (i + 1 < c.lines.size()) {
                EXPECT_EQ(at.ticks, c.lines[i + 1] - c.lines[i]);
            }
        }
    }
}

// Beat k starts k - 1 quarters after its bar line; the last one of a bar that
// is not whole quarters is shorter.
TEST(SongTimelineBars, BeatsAreQuartersFromTheBarLine)
{
    struct Case {
        const char *name;
        std::vector<TimeSignatureEvent> signatures;
        std::int64_t tick;
        BeatPlace beat;
    };
    const Case cases[] = {
        {"4/4 bar 17 beat 3", {}, q(16 * 4 + 2.5), {17, 3, q(66), q(67)}},
        {"3/8: beat 2 is an eighth", {{0, 3, 3}}, q(1.2), {1, 2, q(1), q(1.5)}},
        {"3/8: next bar", {{0, 3, 3}}, q(1.5), {2, 1, q(1.5), q(2.5)}},
        {"5/8: beat 3 is an eighth", {{0, 5, 3}}, q(4.9), {2, 3, q(4.5), q(5)}},
        {"pickup bar has one beat", {{0, 1, 2}, {q(1), 4, 2}}, q(0.99), {1, 1, 0, q(1)}},
        {"after the pickup", {{0, 1, 2}, {q(1), 4, 2}}, q(2), {2, 2, q(2), q(3)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SongTimeline t(kDiv, {}, c.signatures);
        EXPECT_EQ(t.beatAt(c.tick), c.beat);
    }
}

TEST(SongTimelineBars, PositionsAndTicksAsThePlayerReadsThem)
{
    const SongTimeline t(kDiv, {}, {{0, 4, 2}, {q(6), 3, 2}});
    struct Case {
        std::int64_t tick;
        MusicalPosition position;
        std::int64_t tickOfPosition; // the step's start
    };
    for (const Case &c :
         {Case{0, {1, 0}, 0}, Case{q(2.25), {1, 108}, q(2.25)}, Case{q(8), {3, 0}, q(8)},
          Case{q(10.5), {3, 120}, q(10.5)}, Case{q(11), {4, 0}, q(11)},
          Case{q(11) + 9, {4, 0}, q(11)}, Case{q(11) + 10, {4, 1}, q(11) + 10}}) {
        SCOPED_TRACE(c.tick);
        EXPECT_EQ(t.positionAt(c.tick), c.position);
        EXPECT_EQ(t.tickOf(c.position), c.tickOfPosition);
    }
    // A step past the bar's end is held at the next bar line; bars below 1 read as bar 1.
    EXPECT_EQ(t.tickOf({3, 144}), q(11));
    EXPECT_EQ(t.tickOf({3, 999}), q(11));
    EXPECT_EQ(t.tickOf({0, 48}), q(1));
    EXPECT_EQ(t.tickOf({2, -48}), q(3));
}

TEST(SongTimelineBars, SixteenthsAreTheSequencersUnit)
{
    const SongTimeline t(96);
    EXPECT_EQ(t.sixteenthOf(96), 4);
    EXPECT_EQ(t.sixteenthOf(95), 3);
    EXPECT_EQ(t.tickOfSixteenth(3), 72);
    EXPECT_EQ(t.tickOfSixteenth(4), 96);
    const SongTimeline odd(25);
    EXPECT_EQ(odd.tickOfSixteenth(3), 18); // 18.75, as the sequencer seeks
    EXPECT_EQ(odd.sixteenthOf(18), 2);
}

TEST(SongTimelineFile, ReadsEveryTrackUpToItsEnd)
{
    // Tempo map in track 1, a tempo and a meter in track 2, an event past End of Track.
    const std::string format1 =
        test::smf(kDiv, {TrackBuilder().tempo(0, 400000).timeSignature(0, 3, 2).endOfTrack(q(8)),
                         TrackBuilder()
                             .tempo(q(3), 250000)
                             .timeSignature(0, 4, 2)
                             .endOfTrack(0)
                             .tempo(q(1), 1000000)});
    const auto t = SongTimeline::fromSmf(format1);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->division(), kDiv);
    EXPECT_EQ(t->nanosAt(q(5)), ms(1200 + 500));
    EXPECT_EQ(t->barStart(2), q(3));
    EXPECT_EQ(t->barStart(3), q(7));
    EXPECT_EQ(t->tempoSpanCount(), 2u);

    // A format 2 file's later tracks are other songs.
    std::string format2 = format1;
    format2[9] = 2;
    const auto t2 = SongTimeline::fromSmf(format2);
    ASSERT_TRUE(t2.has_value());
    EXPECT_EQ(t2->nanosAt(q(5)), ms(2000));
    EXPECT_EQ(t2->barStart(3), q(6));

    // RMID unwraps; an unusable header or division gives no timeline.
    EXPECT_EQ(SongTimeline::fromSmf(test::rmid(format1))->nanosAt(q(5)), ms(1700));
    EXPECT_FALSE(SongTimeline::fromSmf("MThd").has_value());
    EXPECT_FALSE(SongTimeline::fromSmf(test::smfHeader(0, 1, 0)).has_value());
    EXPECT_FALSE(SongTimeline::fromSmf(test::smfHeader(0, 1, 0xE250)).has_value());
    EXPECT_TRUE(SongTimeline::fromSmf(test::smfHeader(0, 0, 96)).has_value());
}

TEST(SongTimelineFile, WithinATickFileOrderHolds)
{
    const std::string song =
        test::smf(kDiv, {TrackBuilder().tempo(0, 300000).tempo(0, 600000).endOfTrack(),
                         TrackBuilder().tempo(q(1), 250000).endOfTrack(),
                         TrackBuilder().tempo(q(1), 1000000).endOfTrack()});
    const auto t = SongTimeline::fromSmf(song);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->usPerQuarterAt(0), 600000u);
    EXPECT_EQ(t->usPerQuarterAt(q(1)), 1000000u);
}

} // namespace
} // namespace velkan
