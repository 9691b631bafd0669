#include "platform/EventTime.h"

namespace velkan {

std::chrono::steady_clock::time_point pressTime(std::uint64_t eventMs,
                                                std::chrono::steady_clock::time_point now)
{
    using namespace std::chrono;
    constexpr std::uint32_t kLatestAgeMs = 10'000;
    if (eventMs == 0)
        return now;
    const auto nowMs =
        static_cast<std::uint64_t>(duration_cast<milliseconds>(now.time_since_epoch()).count());
    // X stamps wrap at 32 bits: compare the low words.
    const std::uint32_t ageMs =
        static_cast<std::uint32_t>(nowMs) - static_cast<std::uint32_t>(eventMs);
    if (ageMs > kLatestAgeMs)
        return now;
    const auto at = steady_clock::time_point(milliseconds(nowMs - ageMs)) + microseconds(500);
    return at < now ? at : now;
}

} // namespace velkan
