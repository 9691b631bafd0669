#pragma once

#include "midi/BeatClock.h"
#include "midi/TapGrid.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velkan {

struct BarBeat {
    std::int32_t bar = 0;
    std::int32_t beat = 0;
    friend bool operator==(const BarBeat &, const BarBeat &) = default;
};

// The timing line a space press stamps for a bar and beat:
// "@WAIT(bar,step);" with step (beat - 1) x 48, the start of the beat now
// sounding, for any beat of any meter. Nothing while the clock has no song
// (bar or beat 0): the player hangs on a bar of 0.
std::optional<std::string> lyricFollowLine(BarBeat now);

// The line a press at `pressNanos` stamps: the beat of the song at that moment.
std::optional<std::string> lyricFollowLine(const BeatClock &clock, std::int64_t pressNanos);
// The same to `grid`: the unit of the song sounding at that moment (to
// quarters exactly the line above). Nothing while the clock has no song.
std::optional<std::string> lyricFollowLine(const BeatClock &clock, std::int64_t pressNanos,
                                           StampGrid grid);

// The line a tap stamps, the one way the editor and the tool stamp: a press at
// `pressNanos` by a player whose presses come `latencyNanos` after what they
// hear is the song read at pressNanos - latencyNanos, to `grid`. A reading
// before the run's start takes the tick it started from, so before the song's
// start (a run from the top) it is "@WAIT(1,0);". Nothing without a song.
std::optional<std::string> tapStamp(const BeatClock &clock, std::int64_t pressNanos, StampGrid grid,
                                    std::int64_t latencyNanos);

} // namespace velkan
