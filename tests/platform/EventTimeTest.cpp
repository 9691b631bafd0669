#include "platform/EventTime.h"

#include <gtest/gtest.h>

namespace velkan {
namespace {

using namespace std::chrono;
using TimePoint = steady_clock::time_point;

TEST(PressTime, TheWindowSystemsStampWhereItIsOne)
{
    // "Now" is 5000.3 ms, and 2^32 + 1234.7 ms, where X's 32-bit stamps wrap.
    const TimePoint now = TimePoint(microseconds(5'000'300));
    const TimePoint wrapNow = TimePoint(microseconds((std::int64_t{1} << 32) * 1000 + 1'234'700));
    struct Case {
        const char *name;
        TimePoint now;
        std::uint64_t stampMs;
        TimePoint expected;
    };
    const Case cases[] = {
        {"no stamp", now, 0, now},
        {"40 ms ago: the middle of its millisecond", now, 4960, TimePoint(microseconds(4'960'500))},
        {"this millisecond: never after now", now, 5000, now},
        {"ten seconds ago", TimePoint(seconds(20)), 10'000, TimePoint(microseconds(10'000'500))},
        {"older than ten seconds: another clock", TimePoint(seconds(20)), 9'999,
         TimePoint(seconds(20))},
        {"from the future: another clock", now, 5001, now},
        {"across the 32-bit wrap", wrapNow, 0xFFFFFF00u,
         TimePoint(microseconds(((std::int64_t{1} << 32) - 256) * 1000 + 500))},
        {"a full 64-bit stamp", wrapNow, (std::uint64_t{1} << 32) + 1200,
         TimePoint(microseconds((std::int64_t{1} << 32) * 1000 + 1'200'500))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pressTime(c.stampMs, c.now), c.expected);
    }
}

} // namespace
} // namespace velkan
