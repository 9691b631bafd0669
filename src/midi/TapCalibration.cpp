#include "midi/TapCalibration.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace velkan {

namespace {

constexpr int kFewestPresses = 4;
constexpr double kNanosPerMs = 1e6;

} // namespace

std::optional<TapCalibration> calibrateTaps(const std::vector<std::int64_t> &beatNanos,
                                            const std::vector<std::int64_t> &pressNanos)
{
    if (beatNanos.size() < 2)
        return std::nullopt;
    // Beat index -> the offset of the nearest press that went to it.
    std::map<std::size_t, std::int64_t> offsets;
    for (const std::int64_t press : pressNanos) {
        const auto after = std::lower_bound(beatNanos.begin(), beatNanos.end(), press);
        std::size_t beat = static_cast<std::size_t>(after - beatNanos.begin());
        if (beat == beatNanos.size() ||
            (beat > 0 && press - beatNanos[beat - 1] < beatNanos[beat] - press))
            --beat;
        const std::int64_t offset = press - beatNanos[beat];
        // The gap on the press's side of its beat.
        const bool late = offset > 0;
        std::size_t from = late ? beat : beat - 1;
        if (late && beat + 1 == beatNanos.size())
            from = beat - 1;
        if (!late && beat == 0)
            from = 0;
        const std::int64_t gap = beatNanos[from + 1] - beatNanos[from];
        if (std::abs(offset) * 2 > gap)
            continue;
        const auto [it, added] = offsets.emplace(beat, offset);
        if (!added && std::abs(offset) < std::abs(it->second))
            it->second = offset;
    }
    if (offsets.size() < kFewestPresses)
        return std::nullopt;

    double sum = 0;
    for (const auto &[beat, offset] : offsets)
        sum += static_cast<double>(offset);
    const double mean = sum / static_cast<double>(offsets.size());
    double squares = 0;
    for (const auto &[beat, offset] : offsets)
        squares += (static_cast<double>(offset) - mean) * (static_cast<double>(offset) - mean);
    const double spread = std::sqrt(squares / static_cast<double>(offsets.size()));
    return TapCalibration{mean / kNanosPerMs, spread / kNanosPerMs,
                          static_cast<int>(offsets.size())};
}

} // namespace velkan
