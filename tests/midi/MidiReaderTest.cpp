#include "midi/MidiReader.h"

#include "SmfBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace velkan {
namespace {

using test::bytes;
using test::TrackBuilder;

std::vector<TempoChange> tempos(const MidiReadResult &r)
{
    return {r.timing.tempo.begin(), r.timing.tempo.end()};
}

std::vector<MeterChange> meters(const MidiReadResult &r)
{
    return {r.timing.meter.begin(), r.timing.meter.end()};
}

TEST(MidiReader, TempoAndMeterAtStartGiveTwoLines)
{
    const auto r = readMidiImage(
        test::smf(480, {TrackBuilder().tempo(0, 500000).timeSignature(0, 4, 2).endOfTrack()}));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.lines, (std::vector<std::string>{"dT:0 Tempo:500", "dT:0 Mean4:4"}));
    EXPECT_EQ(tempos(r), (std::vector<TempoChange>{{0, 500, 500000}}));
    EXPECT_EQ(meters(r), (std::vector<MeterChange>{{0, 4}}));
}

TEST(MidiReader, QuarterIsTickOverDivisionTruncated)
{
    for (auto [tick, quarter] : {std::pair{720u, 1}, {959u, 1}, {960u, 2}, {0u, 0}}) {
        const auto r = readMidiImage(test::smf(480, {TrackBuilder().tempo(tick, 500000)}));
        ASSERT_EQ(r.timing.tempo.count(), 1);
        EXPECT_EQ(r.timing.tempo[0].quarter, quarter) << tick;
    }
}

TEST(MidiReader, MillisecondsRoundHalvesUpAndMicrosecondsAreKept)
{
    for (auto [us, ms] : {std::pair{500000u, 500},
                          {461538u, 462},
                          {500499u, 500},
                          {500500u, 501},
                          {1499u, 1},
                          {1500u, 2},
                          {0xFFFFFFu, 16777}}) {
        const auto r = readMidiImage(test::smf(96, {TrackBuilder().tempo(0, us)}));
        ASSERT_EQ(r.timing.tempo.count(), 1) << us;
        EXPECT_EQ(r.timing.tempo[0].msPerQuarter, ms) << us;
        EXPECT_EQ(r.timing.tempo[0].usPerQuarter, static_cast<int>(us));
        EXPECT_EQ(r.lines[0], "dT:0 Tempo:" + std::to_string(ms));
    }
}

TEST(MidiReader, BarLengthInQuartersWhereWholeElseNumerator)
{
    struct Case {
        int numerator, exponent, quarters;
    };
    for (Case c : {Case{4, 2, 4},
                   {3, 2, 3},
                   {5, 2, 5},
                   {6, 3, 3},
                   {12, 3, 6},
                   {2, 1, 4},
                   {3, 1, 6},
                   {2, 0, 8},
                   {3, 3, 3},
                   {5, 3, 5},
                   {9, 3, 9},
                   {8, 4, 2},
                   {7, 4, 7},
                   {2, 3, 1},
                   {255, 8, 255},
                   {255, 9, 255},
                   {4, 255, 4},
                   {1, 40, 1}}) {
        const auto r = readMidiImage(
            test::smf(96, {TrackBuilder().timeSignature(0, c.numerator, c.exponent)}));
        ASSERT_EQ(r.timing.meter.count(), 1);
        EXPECT_EQ(r.timing.meter[0].quartersPerBar, c.quarters)
            << c.numerator << "/2^" << c.exponent;
        EXPECT_EQ(r.lines[0], "dT:0 Mean4:" + std::to_string(c.quarters));
    }
}

TEST(MidiReader, ZeroTempoAndZeroNumeratorAreNotRecorded)
{
    const auto r = readMidiImage(test::smf(96, {TrackBuilder()
                                                    .tempo(0, 0)
                                                    .timeSignature(0, 0, 2)
                                                    .tempo(96, 600000)
                                                    .timeSignature(0, 3, 2)}));
    EXPECT_EQ(tempos(r), (std::vector<TempoChange>{{1, 600, 600000}}));
    EXPECT_EQ(meters(r), (std::vector<MeterChange>{{1, 3}}));
    EXPECT_EQ(r.lines, (std::vector<std::string>{"dT:1 Tempo:600", "dT:1 Mean4:3"}));
}

TEST(MidiReader, OnlyTheFirstTrackIsRead)
{
    const auto r = readMidiImage(test::smf(
        96, {TrackBuilder().tempo(0, 500000).endOfTrack(), TrackBuilder().note(0, 60).endOfTrack(),
             TrackBuilder().tempo(192, 400000).timeSignature(0, 3, 2).endOfTrack()}));
    EXPECT_EQ(tempos(r), (std::vector<TempoChange>{{0, 500, 500000}}));
    EXPECT_TRUE(r.timing.meter.isEmpty());
}

// Division 1 makes each recorded quarter the raw tick, which shows how the
// walk counted every byte before it.
TEST(MidiReader, WalkCountsEveryEventKind)
{
    const auto r = readMidiImage(
        test::smf(1, {TrackBuilder()
                          .endOfTrack(1)                        // does not end the walk
                          .meta(1, 0x01, std::string(200, 'a')) // length 81 48
                          .meta(1, 0x21, bytes({0}))            // port
                          .meta(1, 0x51, bytes({7, 0xA1}))      // tempo of the wrong length
                          .meta(1, 0x58, bytes({4, 2})) // time signature of the wrong length
                          .event(1, bytes({0x90, 0x3C, 0x64}))
                          .meta(1, 0x01, "")
                          .event(1, bytes({0x3E, 0x64})) // running status across a meta event
                          .event(1, bytes({0xC0, 5}))
                          .event(1, bytes({7})) // one data byte under Cn
                          .event(1, bytes({0xF0, 2, 0x7E, 0xF7}))
                          .event(1, bytes({0x05})) // no running status: a delta of 5
                          .event(1, bytes({0xF2, 1, 2}))
                          .event(1, bytes({0xF8}))
                          .event(1, bytes({0xF4})) // takes nothing: F4 01 is a delta of 0x3A01
                          .event(1, bytes({0xE0, 0, 0x40}))
                          .tempo(1, 500000)
                          .tempo(0, 400000)}));
    const int expected = 14 + 5 + (0x74 << 7 | 1) + 2;
    EXPECT_EQ(tempos(r),
              (std::vector<TempoChange>{{expected, 500, 500000}, {expected, 400, 400000}}));
    EXPECT_EQ(r.lines, (std::vector<std::string>{"dT:" + std::to_string(expected) + " Tempo:500",
                                                 "dT:" + std::to_string(expected) + " Tempo:400"}));
}

TEST(MidiReader, LinesFollowFileOrder)
{
    const auto r = readMidiImage(test::smf(
        10, {TrackBuilder().timeSignature(0, 3, 2).tempo(20, 400000).timeSignature(10, 6, 3)}));
    EXPECT_EQ(r.lines,
              (std::vector<std::string>{"dT:0 Mean4:3", "dT:2 Tempo:400", "dT:3 Mean4:3"}));
}

TEST(MidiReader, DivisionZeroOrSmpteRecordsNothing)
{
    for (int division : {0, 0xE250, 0x8000}) {
        const auto r = readMidiImage(
            test::smf(division, {TrackBuilder().tempo(0, 500000).timeSignature(10, 3, 2)}));
        EXPECT_TRUE(r.ok());
        EXPECT_TRUE(r.timing.tempo.isEmpty()) << division;
        EXPECT_TRUE(r.timing.meter.isEmpty());
        EXPECT_TRUE(r.lines.empty());
    }
}

TEST(MidiReader, TablesStopAtTwoHundredEntriesAndLinesWithThem)
{
    TrackBuilder track;
    for (int i = 0; i < 250; ++i)
        track.tempo(96, 400000 + static_cast<std::uint32_t>(i)).timeSignature(0, 2 + i % 5, 2);
    const auto r = readMidiImage(test::smf(96, {track}));
    ASSERT_EQ(r.timing.tempo.count(), 200);
    ASSERT_EQ(r.timing.meter.count(), 200);
    EXPECT_EQ(r.lines.size(), 400u);
    EXPECT_EQ(r.timing.tempo[199], (TempoChange{200, 400, 400199}));
    EXPECT_EQ(r.lines.back(), "dT:200 Mean4:" + std::to_string(2 + 199 % 5));
}

TEST(MidiReader, LengthsThatOverrunTheImageEndTheWalk)
{
    const std::string good = TrackBuilder().tempo(0, 500000).events();
    const std::string header = test::smfHeader(0, 1, 96);
    const std::string cases[] = {
        // chunk length far beyond the image
        header + "MTrk" + test::be32(0xFFFFFFF0u) + good + TrackBuilder().tempo(1, 1).events(),
        // meta length beyond the image
        header + "MTrk" + test::be32(64) + good +
            bytes({0, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 'x'}),
        // sysex length beyond the image
        header + "MTrk" + test::be32(64) + good + bytes({0, 0xF0, 0x8F, 0xFF, 0x7F, 1}),
        // meta cut inside its length
        header + "MTrk" + test::be32(64) + good + bytes({0, 0xFF, 0x51, 0x83}),
        // meta cut after its type
        header + "MTrk" + test::be32(64) + good + bytes({0, 0xFF, 0x51}),
        // tempo data cut short
        header + "MTrk" + test::be32(64) + good + bytes({0, 0xFF, 0x51, 3, 7}),
    };
    for (const std::string &image : cases) {
        const auto r = readMidiImage(image);
        EXPECT_EQ(tempos(r).front(), (TempoChange{0, 500, 500000}));
        EXPECT_LE(r.timing.tempo.count(), 2);
    }
}

TEST(MidiReader, ChunkLengthBoundsTheWalk)
{
    const std::string events = TrackBuilder().tempo(0, 500000).tempo(0, 400000).events();
    const std::string image = test::smfHeader(0, 1, 96) + "MTrk" + test::be32(7) + events;
    EXPECT_EQ(readMidiImage(image).timing.tempo.count(), 1);
}

TEST(MidiReader, HugeDeltaTimesClipWithoutOverflow)
{
    TrackBuilder track;
    // An eleven-byte delta-time, then an empty text event.
    track.raw(std::string(10, '\xFF') + bytes({0x7F, 0xFF, 0x01, 0}));
    for (int i = 0; i < 40; ++i)
        track.meta(0x0FFFFFFF, 0x01, "");
    track.tempo(0, 500000);
    const auto r = readMidiImage(test::smf(1, {track}));
    ASSERT_EQ(r.timing.tempo.count(), 1);
    EXPECT_EQ(r.timing.tempo[0].quarter, std::numeric_limits<std::int32_t>::max());
}

TEST(MidiReader, EveryTruncationAndCorruptionIsSafe)
{
    const std::string image = test::smf(96, {TrackBuilder()
                                                 .tempo(0, 500000)
                                                 .timeSignature(0, 3, 2)
                                                 .event(10, bytes({0x90, 60, 100}))
                                                 .event(10, bytes({62, 100}))
                                                 .meta(0, 0x03, "title")
                                                 .event(5, bytes({0xF0, 3, 1, 2, 0xF7}))
                                                 .tempo(96, 400000)
                                                 .endOfTrack()});
    for (std::size_t n = 0; n <= image.size(); ++n) {
        const auto r = readMidiImage(std::string_view(image).substr(0, n));
        EXPECT_LE(r.timing.tempo.count(), 2);
        EXPECT_EQ(r.lines.size(),
                  static_cast<std::size_t>(r.timing.tempo.count() + r.timing.meter.count()));
    }
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        std::string copy = image;
        for (int k = 0; k < 3; ++k)
            copy[random() % copy.size()] = static_cast<char>(random());
        const auto r = readMidiImage(copy);
        for (const MeterChange &m : r.timing.meter)
            EXPECT_GT(m.quartersPerBar, 0);
        for (const TempoChange &t : r.timing.tempo)
            EXPECT_GT(t.usPerQuarter, 0);
    }
}

TEST(MidiReader, RmidIsReadFromItsDataChunk)
{
    const std::string midi =
        test::smf(96, {TrackBuilder().tempo(0, 600000).timeSignature(0, 6, 3)});
    const auto r = readMidiImage(test::rmid(midi));
    EXPECT_EQ(r.lines, (std::vector<std::string>{"dT:0 Tempo:600", "dT:0 Mean4:3"}));
}

class MidiReaderFile : public ::testing::Test {
protected:
    std::filesystem::path m_dir =
        std::filesystem::temp_directory_path() /
        ("velkan-midi-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    void SetUp() override { std::filesystem::create_directories(m_dir); }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
};

TEST_F(MidiReaderFile, ReadsAFileAndRefusesWhatCannotBeOpened)
{
    const auto path = m_dir / "song.mid";
    std::ofstream(path, std::ios::binary) << test::smf(96, {TrackBuilder().tempo(0, 500000)});
    const auto r = readMidiFile(path);
    EXPECT_EQ(r.status, MidiReadStatus::Ok);
    EXPECT_EQ(r.lines, std::vector<std::string>{"dT:0 Tempo:500"});
    EXPECT_TRUE(midiReadMessage(r.status).empty());

    for (const auto &bad : {m_dir / "missing.mid", m_dir}) {
        const auto failed = readMidiFile(bad);
        EXPECT_EQ(failed.status, MidiReadStatus::CannotOpen);
        EXPECT_TRUE(failed.lines.empty());
        EXPECT_EQ(midiReadMessage(failed.status), "入力ファイルが開けません");
    }
    EXPECT_EQ(midiReadMessage(MidiReadStatus::NoMemory), "メモリの確保に失敗");
}

} // namespace
} // namespace velkan
