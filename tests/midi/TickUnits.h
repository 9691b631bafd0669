#pragma once

#include <cstdint>

namespace velkan::test {

// Songs of 480 ticks a quarter, positions in quarters, times in milliseconds.
inline constexpr int kDiv = 480;
constexpr std::int64_t q(double quarters)
{
    return static_cast<std::int64_t>(quarters * kDiv);
}
constexpr std::int64_t ms(double v)
{
    return static_cast<std::int64_t>(v * 1'000'000);
}

} // namespace velkan::test
