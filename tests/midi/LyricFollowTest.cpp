#include "midi/LyricFollow.h"

#include <gtest/gtest.h>

#include <thread>

namespace velkan {
namespace {

TEST(LyricFollow, StampsTheStartOfEveryBeat)
{
    const char *expected[] = {"@WAIT(17,0);",   "@WAIT(17,48);",  "@WAIT(17,96);",
                              "@WAIT(17,144);", "@WAIT(17,192);", "@WAIT(17,240);"};
    for (int beat = 1; beat <= 6; ++beat)
        EXPECT_EQ(lyricFollowLine({17, beat}), expected[beat - 1]);
}

TEST(LyricFollow, NothingBeforeASongIsLoaded)
{
    EXPECT_EQ(lyricFollowLine({0, 0}), std::nullopt);
    EXPECT_EQ(lyricFollowLine({0, 1}), std::nullopt);
    EXPECT_EQ(lyricFollowLine({1, 0}), std::nullopt);
    EXPECT_EQ(lyricFollowLine({-1, 2}), std::nullopt);
    EXPECT_EQ(lyricFollowLine({1, 1}), "@WAIT(1,0);");
}

TEST(SharedBeat, ReadsBackWhatWasPublished)
{
    SharedBeat shared;
    EXPECT_EQ(shared.read(), (BarBeat{0, 0}));
    for (BarBeat v : {BarBeat{1, 1}, {17, 3}, {-5, 7}, {2147483647, -2147483647 - 1}}) {
        shared.publish(v);
        EXPECT_EQ(shared.read(), v);
    }
}

TEST(SharedBeat, ReaderNeverSeesAMixedPair)
{
    SharedBeat shared;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= 200000; ++i)
            shared.publish({i, -i});
        done = true;
    });
    int mixed = 0;
    while (!done) {
        const BarBeat v = shared.read();
        mixed += v.bar != -v.beat;
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
}

} // namespace
} // namespace velkan
