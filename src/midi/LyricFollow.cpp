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

} // namespace velkan
