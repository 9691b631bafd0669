#include "midi/TapCalibration.h"

#include "TickUnits.h"

#include <gtest/gtest.h>

namespace velkan {
namespace {

using test::ms;

// A press `late` ms after each beat from `first` on, jitter +j, -j, +j, ...
std::vector<std::int64_t> presses(const std::vector<std::int64_t> &beats, std::size_t first,
                                  std::size_t count, double late, double jitter)
{
    std::vector<std::int64_t> out;
    for (std::size_t i = first; i < first + count; ++i)
        out.push_back(beats[i] + ms(late + (i % 2 == 0 ? jitter : -jitter)));
    return out;
}

TEST(TapCalibration, MeanAndSpreadOfThePressesNearTheirBeats)
{
    std::vector<std::int64_t> steady; // every 500 ms from 1000 ms
    for (int i = 0; i < 16; ++i)
        steady.push_back(ms(1000 + 500 * i));
    const std::vector<std::int64_t> faster = {ms(1000), ms(1500), ms(1750), ms(2000), ms(2250)};
    struct Case {
        const char *name;
        std::vector<std::int64_t> beats, presses, strays; // strays are dropped
        std::optional<TapCalibration> result;
    };
    const std::vector<Case> cases = {
        {"40 ms late, 3 ms either way",
         steady,
         presses(steady, 2, 12, 40, 3),
         {},
         TapCalibration{40, 3, 12}},
        {"a count-in, a double tap, a press past the end",
         steady,
         presses(steady, 2, 12, 40, 3),
         {ms(300), steady[5] + ms(180), steady[15] + ms(260)},
         TapCalibration{40, 3, 12}},
        {"early", steady, presses(steady, 0, 8, -25, 2), {ms(740)}, TapCalibration{-25, 2, 8}},
        {"250 ms beats at the end",
         faster,
         presses(faster, 1, 4, 30, 10),
         {faster[4] + ms(130)},
         TapCalibration{30, 10, 4}},
        {"three presses used", steady, presses(steady, 4, 3, 40, 3), {ms(200)}, std::nullopt},
        {"one beat", {ms(1000)}, {ms(1040), ms(1041), ms(1039), ms(1040)}, {}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int64_t> all = c.presses;
        all.insert(all.begin() + static_cast<std::ptrdiff_t>(all.size() / 2), c.strays.begin(),
                   c.strays.end());
        const std::optional<TapCalibration> result = calibrateTaps(c.beats, all);
        ASSERT_EQ(result.has_value(), c.result.has_value());
        if (!result)
            continue;
        EXPECT_NEAR(result->meanMs, c.result->meanMs, 1e-9);
        EXPECT_NEAR(result->spreadMs, c.result->spreadMs, 1e-9);
        EXPECT_EQ(result->usedPresses, c.result->usedPresses);
    }
}

} // namespace
} // namespace velkan
