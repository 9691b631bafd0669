#pragma once

#include "midi/SongTimeline.h"

#include <initializer_list>
#include <vector>

namespace velkan::test {

// The songs the bar arithmetic tests count in: 480 ticks a quarter, time
// signatures on whole quarter notes.
inline constexpr int kTimelineDivision = 480;

// A time signature numerator / 2^exponent at a quarter note.
struct Signature {
    int quarter = 0;
    int numerator = 4;
    int exponent = 2;
};

inline SongTimeline timelineOf(std::initializer_list<Signature> signatures,
                               int division = kTimelineDivision)
{
    std::vector<TimeSignatureEvent> events;
    for (const Signature &s : signatures)
        events.push_back({std::int64_t{s.quarter} * division, s.numerator, s.exponent});
    return SongTimeline(division, {}, std::move(events));
}

inline const SongTimeline &threeFour()
{
    static const SongTimeline timeline = timelineOf({{0, 3}});
    return timeline;
}

inline const SongTimeline &fourFour()
{
    static const SongTimeline timeline = timelineOf({{0, 4}});
    return timeline;
}

// 4/4 for eight bars, then 3/4 from quarter 32 (bar 9) on.
inline const SongTimeline &fourThenThree()
{
    static const SongTimeline timeline = timelineOf({{0, 4}, {32, 3}});
    return timeline;
}

} // namespace velkan::test
