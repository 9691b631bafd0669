#include "platform/FakeSequencer.h"

#include <gtest/gtest.h>

using velkan::FakeSequencer;
using Op = FakeSequencer::Op;

TEST(FakeSequencerSpeedTest, PositionAdvancesByTheSpeed)
{
    const struct {
        double speed;
        std::int32_t elapsed;
        std::int32_t position;
    } cases[] = {
        {1.0, 20, 20}, {0.5, 20, 10}, {0.5, 3, 1}, {1.5, 20, 30}, {0.75, 10, 7}, {1.25, 8, 10},
    };
    for (const auto &c : cases) {
        FakeSequencer seq;
        std::int32_t elapsed = 500;
        seq.setAdvance([&] { return elapsed; });
        seq.setSongLength(1000);
        ASSERT_TRUE(seq.setSpeed(c.speed).ok); // before the song: it holds for it
        ASSERT_TRUE(seq.open("a.mid").ok);
        ASSERT_TRUE(seq.playFrom(100).ok);
        elapsed += c.elapsed;
        EXPECT_EQ(seq.positionSixteenths().value, 100 + c.position) << c.speed;
        EXPECT_EQ(seq.speed(), c.speed);
    }
}

TEST(FakeSequencerSpeedTest, AChangeInPlayKeepsWhatHasPlayed)
{
    FakeSequencer seq;
    std::int32_t elapsed = 0;
    seq.setAdvance([&] { return elapsed; });
    seq.setSongLength(1000);
    ASSERT_TRUE(seq.open("a.mid").ok);
    ASSERT_TRUE(seq.playFrom(0).ok);
    elapsed += 8;
    ASSERT_TRUE(seq.setSpeed(0.5).ok);
    EXPECT_EQ(seq.positionSixteenths().value, 8); // no jump at the change
    elapsed += 3;
    EXPECT_EQ(seq.positionSixteenths().value, 9);
    ASSERT_TRUE(seq.setSpeed(1.5).ok); // the half sixteenth played is kept
    elapsed += 1;
    EXPECT_EQ(seq.positionSixteenths().value, 11);
    ASSERT_TRUE(seq.stop().ok);
    ASSERT_TRUE(seq.play().ok);
    elapsed += 2;
    EXPECT_EQ(seq.positionSixteenths().value, 14);

    // Out of range: refused, the speed stays.
    EXPECT_FALSE(seq.setSpeed(0.49).ok);
    EXPECT_FALSE(seq.setSpeed(1.51).ok);
    EXPECT_EQ(seq.speed(), 1.5);

    std::vector<FakeSequencer::Call> speeds;
    for (const auto &call : seq.calls()) {
        if (call.op == Op::SetSpeed)
            speeds.push_back(call);
    }
    const std::vector<FakeSequencer::Call> expected = {{Op::SetSpeed, 500, {}},
                                                       {Op::SetSpeed, 1500, {}},
                                                       {Op::SetSpeed, 490, {}},
                                                       {Op::SetSpeed, 1510, {}}};
    EXPECT_EQ(speeds, expected);
}
