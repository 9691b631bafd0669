#include "midi/MidiBytes.h"

#include "SmfBuilder.h"

#include <gtest/gtest.h>

namespace velkan {
namespace {

using test::bytes;
using test::TrackBuilder;

TEST(SongLength, LongestTrackOverAllTrackChunks)
{
    // 100 bars of 3/4 at division 480 end at tick 144000: 1200 sixteenths.
    const std::string song = test::smf(
        480, {TrackBuilder().timeSignature(0, 3, 2).endOfTrack(),
              TrackBuilder().note(0, 60).event(143000, bytes({0x80, 60, 0})).endOfTrack(1000),
              TrackBuilder().note(0, 64).endOfTrack(480)});
    EXPECT_EQ(songLengthSixteenths(song), 1200);
}

TEST(SongLength, WalksRunningStatusAndStopsAtEndOfTrack)
{
    const std::string song =
        test::smf(96, {TrackBuilder()
                           .event(0, bytes({0x90, 60, 100}))
                           .event(96, bytes({60, 0})) // running status
                           .event(0, bytes({0xC0, 1}))
                           .event(96, bytes({2})) // running status, one data byte
                           .event(0, bytes({0xF0, 1, 0xF7}))
                           .endOfTrack(96)
                           .note(960, 62)}); // beyond End of Track: not played
    EXPECT_EQ(songLengthSixteenths(song), 12);
}

TEST(SongLength, SkipsOtherChunksAndLongerHeaders)
{
    std::string song = "MThd" + test::be32(8) + bytes({0, 1, 0, 2, 0, 96, 0, 0});
    song += "XFIH" + test::be32(3) + "abc";
    song += TrackBuilder().endOfTrack(96).chunk();
    song += TrackBuilder().endOfTrack(192).chunk();
    EXPECT_EQ(songLengthSixteenths(song), 8);
}

TEST(SongLength, NothingWithoutAUsableHeader)
{
    const std::string track = TrackBuilder().endOfTrack(96).chunk();
    EXPECT_EQ(songLengthSixteenths(test::smfHeader(0, 1, 0) + track), std::nullopt);
    EXPECT_EQ(songLengthSixteenths(test::smfHeader(0, 1, 0xE250) + track), std::nullopt);
    EXPECT_EQ(songLengthSixteenths("RIFF" + test::smfHeader(0, 1, 96).substr(4) + track),
              std::nullopt);
    EXPECT_EQ(songLengthSixteenths("MThd" + test::be32(6) + bytes({0, 0, 0})), std::nullopt);
    EXPECT_EQ(songLengthSixteenths(test::smfHeader(0, 1, 96) + track), 4);
}

TEST(SongLength, LyingTrackLengthsStopAtTheImageEnd)
{
    const std::string events = TrackBuilder().note(0, 60).endOfTrack(960).events();
    const std::string song = test::smfHeader(0, 1, 96) + "MTrk" + test::be32(0xFFFFFFF0u) + events;
    EXPECT_EQ(songLengthSixteenths(song), 40);
    for (std::size_t n = 0; n < song.size(); ++n)
        EXPECT_LE(songLengthSixteenths(std::string_view(song).substr(0, n)).value_or(0), 40);
}

TEST(SongLength, HugeTicksClipToTheLargestLength)
{
    TrackBuilder track;
    for (int i = 0; i < 64; ++i)
        track.meta(0x0FFFFFFF, 0x01, "");
    EXPECT_EQ(songLengthSixteenths(test::smf(1, {track})),
              std::numeric_limits<std::int32_t>::max());
}

TEST(UnwrapRmid, FindsTheEmbeddedFile)
{
    const std::string midi = test::smf(96, {TrackBuilder().endOfTrack(96)});
    EXPECT_EQ(unwrapRmid(test::rmid(midi)), midi);
    EXPECT_EQ(unwrapRmid(midi), midi);

    // A data chunk that claims more than the file holds ends with the file.
    std::string lying = test::rmid(midi);
    lying.replace(lying.find("data") + 4, 4, test::le32(0x7FFFFFFF));
    EXPECT_EQ(unwrapRmid(lying), midi);

    // Junk before MThd inside the data chunk is skipped.
    const std::string padded = "RIFF" + test::le32(0) + "RMID" + "data" +
                               test::le32(static_cast<std::uint32_t>(midi.size() + 2)) +
                               std::string(2, '\0') + midi;
    EXPECT_EQ(unwrapRmid(padded), midi);
}

TEST(UnwrapRmid, BrokenContainersComeBackUnchanged)
{
    const std::string cases[] = {
        "RIFF" + test::le32(20) + "RMID" + "LIST" + test::le32(0xFFFFFFF0u) + "xx",
        "RIFF" + test::le32(20) + "RMID" + "data" + test::le32(4) + "junk",
        "RIFF" + test::le32(4) + "RMI",
        "RIFF" + test::le32(4) + "WAVE" + "data" + test::le32(0),
    };
    for (const std::string &image : cases)
        EXPECT_EQ(unwrapRmid(image), image);
}

} // namespace
} // namespace velkan
