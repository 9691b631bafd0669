#pragma once

#include <chrono>
#include <cstdint>

namespace velkan {

// The moment an input event happened, on the steady clock.
//
// Window systems stamp input events in milliseconds of the monotonic clock
// (X servers and Wayland compositors on Linux), the clock std::chrono's steady
// clock reads. Where `eventMs` is such a stamp of the last ten seconds, the
// event happened then (in the middle of its millisecond), however long the UI
// thread took to get to it; anything else (no stamp, a stamp of another
// clock) is taken as happening `now`.
std::chrono::steady_clock::time_point pressTime(std::uint64_t eventMs,
                                                std::chrono::steady_clock::time_point now);

} // namespace velkan
