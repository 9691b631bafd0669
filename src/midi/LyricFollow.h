#pragma once

#include "midi/BeatClock.h"

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

} // namespace velkan
