#include "midi/LyricFollow.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace velkan
