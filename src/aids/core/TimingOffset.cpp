#include "aids/core/TimingOffset.h"

#include "midi/WaitLine.h"

namespace velkan {

const std::array<TimingOffsetChoice, kTimingOffsetChoiceCount> &timingOffsetChoices()
{
    static const std::array<TimingOffsetChoice, kTimingOffsetChoiceCount> kChoices{{
        {1, 1047, "-  4分音符 1個の時間", -48},
        {2, 1048, "-  8分音符 1個の時間", -24},
        {3, 1049, "- 16分音符 1個の時間", -12},
        {4, 1050, "+ 16分音符 1個の時間", 12},
        {5, 1051, "+  8分音符 1個の時間", 24},
        {6, 1052, "+  4分音符 1個の時間", 48},
    }};
    return kChoices;
}

int timingOffsetSteps(int choice)
{
    if (choice < 1 || choice > kTimingOffsetChoiceCount)
        return 0;
    return timingOffsetChoices()[static_cast<std::size_t>(choice - 1)].steps;
}

std::optional<ScriptLine> shiftedWaitLine(std::string_view line, int steps, const BarMath &bars,
                                          bool *heldAtStart)
{
    if (!isWaitLine(line))
        return std::nullopt;
    const MusicalPosition p =
        bars.clampedToStart(bars.shiftedOnce(readWaitPosition(line), steps), heldAtStart);
    return rewrittenWaitLine(line, p);
}

TimingOffsetResult applyTimingOffset(std::vector<ScriptLine> &lines, int steps, const BarMath &bars)
{
    TimingOffsetResult result;
    for (ScriptLine &line : lines) {
        bool held = false;
        if (auto shifted = shiftedWaitLine(line, steps, bars, &held)) {
            line = std::move(*shifted);
            ++result.shifted;
            if (held)
                ++result.heldAtStart;
        }
    }
    return result;
}

} // namespace velkan
