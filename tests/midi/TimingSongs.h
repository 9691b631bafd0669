#pragma once

#include "SmfBuilder.h"

#include <string>

namespace velkan::test {

// Songs whose tempo and meter maps are hard to count right, division 480, a
// note on every quarter in a second track. Delta-times below; the comments
// give the quarters where the events stand.

// Two tempos on tick 0, a pickup (1/4 then 4/4 at 1), a tempo inside quarter
// 3 (3.5), a 3/4 inside a 4/4 bar (7: from 9), a tempo inside a quarter
// (10.2), a 3/8 inside a 3/4 bar (14: from 15).
inline std::string tempoAndMeterInsideBars()
{
    constexpr std::uint32_t q = 480;
    TrackBuilder map;
    map.tempo(0, 1000000)
        .tempo(0, 300000)
        .timeSignature(0, 1, 2)
        .timeSignature(q, 4, 2)
        .tempo(2 * q + q / 2, 250000)
        .timeSignature(3 * q + q / 2, 3, 2)
        .tempo(3 * q + 100, 350000)
        .timeSignature(4 * q - 100, 3, 3)
        .endOfTrack(10 * q);
    TrackBuilder notes;
    for (int i = 0; i < 28; ++i)
        notes.note(i == 0 ? 0 : q / 2, 60 + i % 12).event(q / 2, bytes({0x80, 60 + i % 12, 0}));
    notes.endOfTrack();
    return smf(static_cast<int>(q), {map, notes});
}

// The first tempo after tick 0 (2.5), a late first signature inside a 4/4 bar
// (6: 3/4 from 8), a 5/8 inside a 3/4 bar (20.25: from 23), a tempo inside a
// quarter (21.5).
inline std::string lateTempoAndSignature()
{
    constexpr std::uint32_t q = 480;
    TrackBuilder map;
    map.tempo(2 * q + q / 2, 280000)
        .timeSignature(3 * q + q / 2, 3, 2)
        .timeSignature(14 * q + q / 4, 5, 3)
        .tempo(q + q / 4, 330000)
        .endOfTrack(12 * q);
    TrackBuilder notes;
    for (int i = 0; i < 34; ++i)
        notes.note(i == 0 ? 0 : q / 2, 60 + i % 12).event(q / 2, bytes({0x80, 60 + i % 12, 0}));
    notes.endOfTrack();
    return smf(static_cast<int>(q), {map, notes});
}

} // namespace velkan::test
