#include "platform/FakeSequencer.h"

#include <gtest/gtest.h>

using velkan::FakeSequencer;
using velkan::SeqResult;
using Op = FakeSequencer::Op;

TEST(FakeSequencerTest, RecordsCallsAndFollowsTheAdvanceFunction)
{
    FakeSequencer seq;
    std::int32_t elapsed = 1000; // any running count: only its increase matters
    seq.setAdvance([&] { return elapsed; });
    seq.setSongLength(640);
    ASSERT_TRUE(seq.open("/songs/a.mid").ok);
    EXPECT_EQ(seq.lengthSixteenths().value, 640);

    ASSERT_TRUE(seq.playFrom(0).ok);
    elapsed += 20;
    EXPECT_EQ(seq.positionSixteenths().value, 20);
    ASSERT_TRUE(seq.stop().ok);
    elapsed += 50;
    EXPECT_EQ(seq.positionSixteenths().value, 20); // stopped stays put
    ASSERT_TRUE(seq.seek(72).ok);
    ASSERT_TRUE(seq.play().ok);
    elapsed += 4;
    EXPECT_EQ(seq.positionSixteenths().value, 76);
    elapsed += 10000;
    EXPECT_EQ(seq.positionSixteenths().value, 640); // never past the end

    const std::vector<FakeSequencer::Call> expected = {{Op::Open, 0, "/songs/a.mid"},
                                                       {Op::Length, 0, {}},
                                                       {Op::PlayFrom, 0, {}},
                                                       {Op::Position, 0, {}},
                                                       {Op::Stop, 0, {}},
                                                       {Op::Position, 0, {}},
                                                       {Op::Seek, 72, {}},
                                                       {Op::Play, 0, {}},
                                                       {Op::Position, 0, {}},
                                                       {Op::Position, 0, {}}};
    EXPECT_EQ(seq.calls(), expected);
}

TEST(FakeSequencerTest, ChosenFailuresAndMisuseReportTexts)
{
    FakeSequencer seq;
    seq.setSongLength(64);
    EXPECT_FALSE(seq.play().ok); // nothing open
    ASSERT_TRUE(seq.open("a.mid").ok);
    EXPECT_FALSE(seq.seek(65).ok);

    seq.setFailure(Op::Seek, "シークできません");
    const SeqResult seek = seq.seek(8);
    EXPECT_FALSE(seek.ok);
    EXPECT_EQ(seek.error, "シークできません");
    EXPECT_EQ(seq.positionSixteenths().value, 0); // a failed seek moves nothing
    seq.setFailure(Op::Seek, std::nullopt);
    EXPECT_TRUE(seq.seek(8).ok);

    seq.setFailure(Op::Open, "開けません");
    EXPECT_EQ(seq.open("b.mid").error, "開けません");
    EXPECT_FALSE(seq.isOpen());
}

TEST(SeqResultTest, ErrorTextsAreCutAtACharacterBoundary)
{
    std::string longText;
    for (int i = 0; i < 200; ++i)
        longText += "あ";
    const SeqResult cut = SeqResult::failure("x" + longText);
    EXPECT_EQ(cut.error, "x" + longText.substr(0, 127 * 3));
    EXPECT_EQ(SeqResult::failure("短い").error, "短い");
    EXPECT_FALSE(SeqResult::failure("").ok);
}
