#pragma once

#include "midi/BarMath.h"
#include "midi/MusicalPosition.h"
#include "midi/SongTimeline.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace velkan {

// What a tap stamps to: the start of the quarter, eighth or sixteenth note
// sounding, or the step itself. Units are counted from each bar line, so a bar
// that is not whole units (5/8 to quarters) ends with a shorter one, as its
// beats do.
enum class StampGrid : std::uint8_t { Quarter, Eighth, Sixteenth, Step };

// Steps in one unit: 48, 24, 12, 1.
int gridSteps(StampGrid grid);
// "4", "8", "16", "step", as the tool takes them; nothing for any other word.
std::optional<StampGrid> parseGrid(std::string_view word);
std::string_view gridName(StampGrid grid);

// The position a tap at `tick` stamps: the bar holding it and the start of
// the unit sounding in that bar (the steps into the bar, ticks x 48 /
// division rounded down, then down to a whole number of units). To quarters
// this is the start of the beat, (beat - 1) x 48, in any meter.
MusicalPosition stampAt(const SongTimeline &timeline, std::int64_t tick, StampGrid grid);

// p moved one unit earlier (direction < 0) or later (direction > 0) through
// the song's bars, normalised, never before bar 1 step 0 (0 moves nowhere but
// normalises). Units are counted from the bar line of the bar p stands in, so
// p off the grid goes to the grid point before or after it in its bar: to
// eighths, (3, 30) goes to (3, 48) later and (3, 24) earlier. After a bar's
// last grid point comes the next bar's line; before a bar line comes the last
// grid point of the bar before (a 5/8 bar to quarters: its step 192).
MusicalPosition nudged(const MusicalPosition &p, int direction, StampGrid grid,
                       const BarMath &bars);

} // namespace velkan
