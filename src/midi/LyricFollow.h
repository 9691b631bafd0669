#pragma once

#include "midi/SharedBeat.h"

#include <optional>
#include <string>

namespace velkan {

// The timing line a space press stamps for the clock's bar and beat:
// "@WAIT(bar,step);" with step (beat - 1) x 48, the start of the beat now
// sounding, for any beat of any meter. Nothing while the clock has no song
// (bar or beat 0): the player hangs on a bar of 0.
std::optional<std::string> lyricFollowLine(BarBeat now);

} // namespace velkan
