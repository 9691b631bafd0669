#include "aids/core/RevealTiming.h"

#include "midi/WaitLine.h"

#include <optional>

namespace velkan {

namespace {

constexpr int kQuarterSteps = BarMath::kStepsPerQuarter;

RevealTimingResult unchanged(const RevealEdits &edits, const MusicalPosition &working)
{
    return {false, edits, working};
}

} // namespace

RevealTimingResult appearTiming(std::span<const std::string_view> selection,
                                const RevealEdits &edits, RevealMethod method, int timingChoice,
                                const MusicalPosition &working, const BarMath &bars)
{
    const std::int64_t duration = revealDuration(selection, timingChoice, method);

    if (!edits.start.empty()) {
        const MusicalPosition start = bars.clampedToStart(readWaitPosition(edits.start));
        const MusicalPosition end = bars.clampedToStart(bars.added(start, duration));
        return {true, {formatWait(start), formatWait(end)}, end};
    }

    std::optional<MusicalPosition> first;
    for (std::string_view line : selection) {
        if (isTimingLine(line)) {
            first = readTimingLine(line);
            break;
        }
    }
    if (!first)
        return unchanged(edits, working);

    const MusicalPosition end = bars.clampedToStart(bars.subtracted(*first, kQuarterSteps));
    const MusicalPosition start = bars.clampedToStart(bars.subtracted(end, duration));
    return {true, {formatWait(start), formatWait(end)}, start};
}

RevealTimingResult eraseTiming(std::span<const std::string_view> selection,
                               const RevealEdits &edits, RevealMethod method, int timingChoice,
                               const MusicalPosition &working, const BarMath &bars)
{
    const std::int64_t duration = revealDuration(selection, timingChoice, method);

    MusicalPosition start;
    if (!edits.start.empty()) {
        start = readWaitPosition(edits.start);
    } else {
        MusicalPosition last;
        MusicalPosition previous;
        bool found = false;
        for (std::string_view line : selection) {
            if (isTimingLine(line)) {
                previous = last;
                last = readTimingLine(line);
                found = true;
            }
        }
        if (!found)
            return unchanged(edits, working);
        start = bars.added(last, bars.stepsBetween(previous, last));
    }
    start = bars.clampedToStart(start);
    const MusicalPosition end = bars.clampedToStart(bars.added(start, duration));
    return {true, {formatWait(start), formatWait(end)}, end};
}

} // namespace velkan
