#include "midi/LyricFollow.h"

#include "midi/MusicalPosition.h"

#include <limits>

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

std::optional<std::string> lyricFollowLine(const BeatClock &clock, std::int64_t pressNanos,
                                           StampGrid grid)
{
    if (!clock.hasSong())
        return std::nullopt;
    return formatWait(stampAt(*clock.timeline(), clock.tickAt(pressNanos), grid));
}

std::optional<std::string> tapStamp(const BeatClock &clock, std::int64_t pressNanos, StampGrid grid,
                                    std::int64_t latencyNanos)
{
    std::int64_t heard;
    if (__builtin_sub_overflow(pressNanos, latencyNanos, &heard))
        heard = latencyNanos > 0 ? std::numeric_limits<std::int64_t>::min()
                                 : std::numeric_limits<std::int64_t>::max();
    return lyricFollowLine(clock, heard, grid);
}

} // namespace velkan
