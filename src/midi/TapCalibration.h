#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velkan {

// How late a player's taps come after the beats they hear.
struct TapCalibration {
    double meanMs = 0;   // later than the beat when positive
    double spreadMs = 0; // standard deviation about the mean (over the presses used)
    int usedPresses = 0;
};

// The taps of a calibration run against the beats that sounded (moments in
// nanoseconds of one clock; beats in order). Each press goes to the nearest
// beat; a press more than half a beat from it (the beat's gap to its
// neighbour on the press's side, the first or last gap past the ends) is
// dropped, and so is any press but the nearest of those that went to one beat
// (a double tap). Nothing with fewer than 4 presses used, or fewer than 2
// beats.
std::optional<TapCalibration> calibrateTaps(const std::vector<std::int64_t> &beatNanos,
                                            const std::vector<std::int64_t> &pressNanos);

} // namespace velkan
