#include "midi/TapGrid.h"

#include <algorithm>

namespace velkan {

namespace {

constexpr StampGrid kGrids[] = {StampGrid::Quarter, StampGrid::Eighth, StampGrid::Sixteenth,
                                StampGrid::Step};

} // namespace

int gridSteps(StampGrid grid)
{
    switch (grid) {
    case StampGrid::Quarter:
        return 48;
    case StampGrid::Eighth:
        return 24;
    case StampGrid::Sixteenth:
        return 12;
    case StampGrid::Step:
        break;
    }
    return 1;
}

std::string_view gridName(StampGrid grid)
{
    switch (grid) {
    case StampGrid::Quarter:
        return "4";
    case StampGrid::Eighth:
        return "8";
    case StampGrid::Sixteenth:
        return "16";
    case StampGrid::Step:
        break;
    }
    return "step";
}

std::optional<StampGrid> parseGrid(std::string_view word)
{
    for (StampGrid grid : kGrids)
        if (word == gridName(grid))
            return grid;
    return std::nullopt;
}

MusicalPosition stampAt(const SongTimeline &timeline, std::int64_t tick, StampGrid grid)
{
    const BarPlace bar = timeline.barAt(tick);
    const std::int64_t steps =
        (tick - bar.startTick) * SongTimeline::kStepsPerQuarter / timeline.division();
    const int unit = gridSteps(grid);
    // Inside one bar: far below 2^31 steps.
    return {bar.bar, static_cast<std::int32_t>(steps - steps % unit)};
}

MusicalPosition nudged(const MusicalPosition &p, int direction, StampGrid grid, const BarMath &bars)
{
    const std::int64_t unit = gridSteps(grid);
    MusicalPosition at = bars.positionAt(bars.absoluteStep(p));
    if (direction > 0) {
        const std::int64_t next = (at.step / unit + 1) * unit;
        // The next bar's line when the bar has no grid point left.
        at = next < bars.barLength(at.bar)
                 ? MusicalPosition{at.bar, static_cast<std::int32_t>(next)}
                 : bars.added({at.bar, 0}, bars.barLength(at.bar));
    } else if (direction < 0) {
        if (at.step == 0) {
            at = bars.positionAt(bars.absoluteStep(at) - 1);
            at.step -= at.step % static_cast<std::int32_t>(unit);
        } else {
            at.step = static_cast<std::int32_t>((at.step - 1) / unit * unit);
        }
    }
    return bars.isBeforeStart(at) ? MusicalPosition{1, 0} : at;
}

} // namespace velkan
