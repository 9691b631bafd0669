#pragma once

#include "aids/core/LyricReveal.h"
#include "midi/BarMath.h"

#include <span>
#include <string>
#include <string_view>

namespace velkan {

// The start and end edit boxes of one group of the appear/erase dialog, as
// Shift-JIS bytes.
struct RevealEdits {
    std::string start;
    std::string end;
    friend bool operator==(const RevealEdits &, const RevealEdits &) = default;
};

// What a timing button ("選択") does. With nothing to time from (an empty
// start edit and no timing line in the range) `changed` is false and the
// edits and the working position come back as they went in.
struct RevealTimingResult {
    bool changed = false;
    RevealEdits edits;
    MusicalPosition working; // kept by the dialog between presses
};

// Appear timing. Typed start: read it (written back as read, but never
// before bar 1 step 0), end = start + duration. Empty start: end = a quarter
// note before the range's first timing line, start = end - duration.
// Positions move through bars of their real lengths; none written comes
// before bar 1 step 0.
RevealTimingResult appearTiming(std::span<const std::string_view> selection,
                                const RevealEdits &edits, RevealMethod method, int timingChoice,
                                const MusicalPosition &working, const BarMath &bars);

// Erase timing. Typed start: read it. Empty start: as far after the range's
// last timing line as that line stands after the timing line before it (bar 0
// step 0 with a single timing line). End = start + duration. Written as in
// appearTiming.
RevealTimingResult eraseTiming(std::span<const std::string_view> selection,
                               const RevealEdits &edits, RevealMethod method, int timingChoice,
                               const MusicalPosition &working, const BarMath &bars);

} // namespace velkan
