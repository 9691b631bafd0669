#include "midi/LyricFollow.h"

#include "midi/MusicalPosition.h"

namespace velkan {

std::optional<std::string> lyricFollowLine(BarBeat now)
{
    if (now.bar <= 0 || now.beat <= 0)
        return std::nullopt;
    // 48 steps to a quarter note, one quarter to a beat.
    return formatWait(MusicalPosition{now.bar, (now.beat - 1) * 48});
}

std::optional<std::string> lyricFollowLine(const BeatClock &clock, std::int64_t pressNanos)
{
    const BeatPlace beat = clock.beatAt(pressNanos);
    return lyricFollowLine(BarBeat{beat.bar, beat.beat});
}

} // namespace velkan
