#include "midi/SteadyTempoCopy.h"

#include "midi/MidiBytes.h"
#include "midi/TrackWalker.h"

#include "SmfBuilder.h"

#include <gtest/gtest.h>

namespace velkan {
namespace {

using test::bytes;
using test::TrackBuilder;

struct Played {
    std::int64_t nanos;
    std::string event; // status, meta type and data, as a sequencer gets them
    friend bool operator==(const Played &, const Played &) = default;
};

// Every event of every track but the tempo events, each at its real time.
std::vector<std::vector<Played>> playedEvents(std::string_view smf)
{
    const auto timeline = SongTimeline::fromSmf(smf);
    std::vector<std::vector<Played>> tracks;
    forEachTrack(smf, [&](std::string_view events) {
        auto &track = tracks.emplace_back();
        TrackWalker walker(events);
        TrackWalker::Event e;
        while (walker.next(e)) {
            if (e.kind == TrackWalker::Event::Kind::Meta && e.metaType == 0x51)
                continue;
            const char kind =
                e.kind == TrackWalker::Event::Kind::Meta ? static_cast<char>(e.metaType) : 0;
            track.push_back({timeline->nanosAt(walker.tick()),
                             std::string{static_cast<char>(e.status), kind} + std::string(e.data)});
            if (kind == 0x2F)
                break;
        }
        return true;
    });
    return tracks;
}

TEST(SteadyTempoCopy, EveryEventPlaysAtItsExactTimeUnderOneTempo)
{
    struct Case {
        const char *name;
        int division;
        std::vector<TrackBuilder> tracks;
    };
    const Case cases[] = {
        {"two tempos on tick 0, one inside a quarter",
         480,
         {TrackBuilder()
              .tempo(0, 1000000)
              .tempo(0, 416667)
              .note(0, 60)
              .event(240, bytes({0x80, 60, 0}))
              .tempo(1, 333333)
              .note(479, 62)
              .endOfTrack(480)}},
        {"tempo map in one track, running status and sysex in another",
         96,
         {TrackBuilder().tempo(0, 600000).timeSignature(0, 3, 2).tempo(150, 250000).endOfTrack(900),
          TrackBuilder()
              .event(10, bytes({0x90, 60, 100}))
              .event(96, bytes({64, 100}))
              .event(0, bytes({0xC1, 5}))
              .event(33, bytes({7}))
              .event(5, bytes({0xF0, 3, 0x7E, 0x7F, 0xF7}))
              .meta(200, 0x01, "lyric")
              .event(1, bytes({0xE0, 0, 0x40}))
              .endOfTrack(17)}},
        {"the first tempo after tick 0",
         480,
         {TrackBuilder().note(100, 60).tempo(860, 200000).note(5, 61).endOfTrack(1)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string song = test::smf(c.division, c.tracks);
        const auto timeline = SongTimeline::fromSmf(song);
        ASSERT_TRUE(timeline);
        const auto copy = steadyTempoCopy(song, *timeline);
        ASSERT_TRUE(copy);
        EXPECT_EQ(readSmfHeader(*copy)->division, steady::kDivision);
        const auto copyTimeline = SongTimeline::fromSmf(*copy);
        EXPECT_EQ(copyTimeline->tempoSpanCount(), 1u);
        EXPECT_EQ(copyTimeline->usPerQuarterAt(0), steady::kUsPerQuarter);

        const auto original = playedEvents(song);
        const auto copied = playedEvents(*copy);
        ASSERT_EQ(copied.size(), original.size());
        for (std::size_t t = 0; t < original.size(); ++t) {
            ASSERT_EQ(copied[t].size(), original[t].size()) << "track " << t;
            for (std::size_t i = 0; i < original[t].size(); ++i) {
                EXPECT_EQ(copied[t][i].event, original[t][i].event)
                    << "track " << t << " event " << i;
                EXPECT_NEAR(copied[t][i].nanos, original[t][i].nanos, steady::kNanosPerTick / 2)
                    << "track " << t << " event " << i;
            }
        }
    }
}

TEST(SteadyTempoCopy, TracksEndAtTheirEndOfTrack)
{
    // Past End of Track nothing plays; a track without one gets it.
    const std::string song =
        test::smf(480, {TrackBuilder().note(0, 60).endOfTrack(480).note(480, 62),
                        TrackBuilder().note(960, 64)});
    const auto copy = steadyTempoCopy(song, *SongTimeline::fromSmf(song));
    ASSERT_TRUE(copy);
    const auto tracks = playedEvents(*copy);
    ASSERT_EQ(tracks.size(), 2u);
    ASSERT_EQ(tracks[0].size(), 2u);
    EXPECT_EQ(tracks[0][1], (Played{500'000'000, std::string("\xFF\x2F", 2)}));
    ASSERT_EQ(tracks[1].size(), 2u);
    EXPECT_EQ(tracks[1][1], (Played{1'000'000'000, std::string("\xFF\x2F", 2)}));
}

TEST(SteadyTempoCopy, WhatCannotBeCopiedFaithfullyIsPlayedAsItIs)
{
    struct Case {
        const char *name;
        std::string smf;
    };
    const Case cases[] = {
        {"a data byte without running status",
         test::smf(
             96, {TrackBuilder().event(0, bytes({0xF0, 0})).event(0, bytes({0x40})).endOfTrack()})},
        {"an event cut short", test::smf(96, {TrackBuilder().event(0, bytes({0x90, 60}))})},
        {"longer than the copy can count",
         test::smf(1, {TrackBuilder().tempo(0, 0xFFFFFF).note(1300, 60).endOfTrack()})},
        {"no tick division", test::smfHeader(0, 1, 0xE250) + TrackBuilder().endOfTrack().chunk()},
    };
    const SongTimeline anyTimeline;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto timeline = SongTimeline::fromSmf(c.smf);
        EXPECT_FALSE(steadyTempoCopy(c.smf, timeline ? *timeline : anyTimeline).has_value());
    }
}

TEST(SteadyTempoCopy, TicksOfTheCopyAndOfTheSongMapBothWays)
{
    const SongTimeline timeline(96, {{0, 461538}, {250, 1000}, {260, 900000}});
    for (std::int64_t tick = 0; tick < 2000; ++tick) {
        const std::int64_t steadyTick = steadyTickOf(timeline, tick);
        EXPECT_GE(steadyTick * steady::kNanosPerTick, timeline.nanosAt(tick)) << tick;
        // Ticks of 1000 us / 96 (about 10.4 us) and longer come back whole.
        if (tick < 250 || tick >= 260) {
            EXPECT_EQ(songTickOf(timeline, steadyTick), tick) << tick;
        }
    }
}

} // namespace
} // namespace velkan
