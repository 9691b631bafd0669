// FluidSynth through its file driver: real time, written to /dev/null. Skips
// when the machine has no SoundFont.
#include "platform/FluidSynthSequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using velkan::FluidSynthSequencer;

namespace {

constexpr int kDivision = 480;

void put32(std::string &out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void putVlq(std::string &out, std::uint32_t v)
{
    std::string bytes(1, static_cast<char>(v & 0x7F));
    while (v >>= 7)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (v & 0x7F)));
    out += bytes;
}

// A format 0 song: tempo, then `quarters` quarter notes of middle C.
std::string makeSong(int quarters, std::uint32_t usPerQuarter)
{
    std::string track;
    putVlq(track, 0);
    track += "\xFF\x51\x03";
    track.push_back(static_cast<char>(usPerQuarter >> 16));
    track.push_back(static_cast<char>((usPerQuarter >> 8) & 0xFF));
    track.push_back(static_cast<char>(usPerQuarter & 0xFF));
    putVlq(track, 0);
    track += std::string("\xC0\x00", 2);
    for (int i = 0; i < quarters; ++i) {
        putVlq(track, 0);
        track += "\x90\x3C\x60";
        putVlq(track, kDivision);
        track += std::string("\x80\x3C\x00", 3);
    }
    putVlq(track, 0);
    track += std::string("\xFF\x2F\x00", 3);
    std::string smf = "MThd";
    put32(smf, 6);
    smf += std::string("\x00\x00\x00\x01", 4);
    smf.push_back(static_cast<char>(kDivision >> 8));
    smf.push_back(static_cast<char>(kDivision & 0xFF));
    smf += "MTrk";
    put32(smf, static_cast<std::uint32_t>(track.size()));
    return smf + track;
}

std::string wrapRmid(const std::string &smf)
{
    std::string data = "RMIDdata";
    put32(data, 0); // patched below: RIFF sizes are little-endian
    std::string out = "RIFF0000" + data + smf;
    const auto le = [](std::uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    out.replace(4, 4, le(static_cast<std::uint32_t>(out.size() - 8)));
    out.replace(16, 4, le(static_cast<std::uint32_t>(smf.size())));
    return out;
}

class FluidSynthSequencerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("VELKAN_AUDIO_DRIVER", "file", 1);
        // The small GM font loads in a blink; the default may be the 148 MB one.
        if (std::filesystem::exists("/usr/share/sounds/sf2/TimGM6mb.sf2"))
            ::setenv("VELKAN_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2", 1);
        if (FluidSynthSequencer::findSoundFont().empty())
            GTEST_SKIP() << "no SoundFont: sudo apt-get install timgm6mb-soundfont";
        m_dir = std::filesystem::temp_directory_path() /
                ("velkan-seq-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override
    {
        ::unsetenv("VELKAN_SOUNDFONT");
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string write(const std::string &name, const std::string &bytes)
    {
        const auto path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    static std::int32_t position(FluidSynthSequencer &seq)
    {
        const auto p = seq.positionSixteenths();
        EXPECT_TRUE(p.ok) << p.error;
        return p.value;
    }

    std::filesystem::path m_dir;
};

} // namespace

TEST_F(FluidSynthSequencerTest, OpensAndReportsTheLengthBeforePlaying)
{
    FluidSynthSequencer seq;
    const auto result = seq.open(write("song.mid", makeSong(16, 500000)));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(seq.isOpen());
    const auto length = seq.lengthSixteenths();
    ASSERT_TRUE(length.ok);
    EXPECT_EQ(length.value, 64);
    EXPECT_EQ(position(seq), 0);
    EXPECT_TRUE(seq.close().ok);
    EXPECT_FALSE(seq.isOpen());
}

TEST_F(FluidSynthSequencerTest, PlaysPausesAndResumesWhereItStopped)
{
    FluidSynthSequencer seq;
    // 125 ms a quarter: eight sixteenths a quarter second.
    ASSERT_TRUE(seq.open(write("song.mid", makeSong(64, 125000))).ok);
    ASSERT_TRUE(seq.playFrom(0).ok);
    std::this_thread::sleep_for(400ms);
    ASSERT_TRUE(seq.stop().ok);
    const std::int32_t paused = position(seq);
    EXPECT_GT(paused, 4);
    EXPECT_LT(paused, 40);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(position(seq), paused); // stopped stays put

    ASSERT_TRUE(seq.play().ok);
    EXPECT_GE(position(seq), paused); // goes on, not from the top
    std::this_thread::sleep_for(300ms);
    const std::int32_t later = position(seq);
    EXPECT_GT(later, paused + 4);
    EXPECT_TRUE(seq.isPlaying());
    ASSERT_TRUE(seq.stop().ok);
    EXPECT_FALSE(seq.isPlaying());
}

TEST_F(FluidSynthSequencerTest, SeekWhileStoppedIsReportedAndPlayedFrom)
{
    FluidSynthSequencer seq;
    ASSERT_TRUE(seq.open(write("song.mid", makeSong(64, 125000))).ok);
    ASSERT_TRUE(seq.seek(100).ok);
    EXPECT_EQ(position(seq), 100);
    ASSERT_TRUE(seq.play().ok);
    EXPECT_GE(position(seq), 100);
    std::this_thread::sleep_for(300ms);
    const std::int32_t playing = position(seq);
    EXPECT_GT(playing, 100);
    EXPECT_LT(playing, 140);

    // Back again while stopped, then while playing.
    ASSERT_TRUE(seq.stop().ok);
    ASSERT_TRUE(seq.seek(20).ok);
    EXPECT_EQ(position(seq), 20);
    ASSERT_TRUE(seq.play().ok);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(seq.seek(200).ok);
    EXPECT_GE(position(seq), 200);
    std::this_thread::sleep_for(200ms);
    EXPECT_GE(position(seq), 200);
    EXPECT_LT(position(seq), 240);

    ASSERT_TRUE(seq.playFrom(0).ok);
    EXPECT_LT(position(seq), 10);
}

TEST_F(FluidSynthSequencerTest, PlaysAgainAfterTheSongHasEnded)
{
    FluidSynthSequencer seq;
    ASSERT_TRUE(seq.open(write("short.mid", makeSong(2, 50000))).ok); // 0.1 s
    ASSERT_TRUE(seq.playFrom(0).ok);
    for (int i = 0; i < 100 && seq.isPlaying(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(seq.isPlaying());
    EXPECT_EQ(position(seq), 8);

    ASSERT_TRUE(seq.playFrom(0).ok);
    EXPECT_TRUE(seq.isPlaying());
    EXPECT_LT(position(seq), 8);
    for (int i = 0; i < 100 && seq.isPlaying(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(position(seq), 8);
}

TEST_F(FluidSynthSequencerTest, RmidPlaysTheEmbeddedSong)
{
    FluidSynthSequencer seq;
    const auto result = seq.open(write("song.rmi", wrapRmid(makeSong(8, 125000))));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(seq.lengthSixteenths().value, 32);
    ASSERT_TRUE(seq.playFrom(0).ok);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(position(seq), 0);
}

TEST_F(FluidSynthSequencerTest, FilesThatCannotBePlayedFailToOpenWithAText)
{
    std::string cutShort = makeSong(4, 500000);
    cutShort.resize(cutShort.size() - 9); // ends inside a note, no End of Track
    std::string strayStatus = makeSong(4, 500000);
    strayStatus.insert(strayStatus.size() - 4, std::string("\x00\xF4", 2));
    strayStatus[21] = static_cast<char>(strayStatus[21] + 2);
    std::string smpte = makeSong(4, 500000);
    smpte[12] = static_cast<char>(0xE7);
    std::string zeroDivision = makeSong(4, 500000);
    zeroDivision[12] = zeroDivision[13] = 0;

    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {
        {"garbage", "this is no MIDI file at all, just words"},
        {"empty", ""},
        {"truncated header", std::string("MThd\x00\x00\x00\x06\x00", 9)},
        {"cut short", cutShort},
        {"stray status byte", strayStatus},
        {"smpte division", smpte},
        {"zero division", zeroDivision},
        {"riff without a song", wrapRmid("no song here")},
    };
    FluidSynthSequencer seq;
    // Checked while a song plays: each is refused with a text, and the song
    // that plays is not disturbed.
    const std::string good = write("good.mid", makeSong(16, 500000));
    ASSERT_TRUE(seq.open(good).ok);
    ASSERT_TRUE(seq.playFrom(0).ok);
    for (const auto &c : cases) {
        const auto result = seq.check(write("bad.mid", c.bytes));
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_FALSE(result.error.empty()) << c.name;
    }
    EXPECT_TRUE(seq.check(good).ok);
    EXPECT_EQ(seq.check((m_dir / "missing.mid").string()).error, "MIDI ファイルが見つかりません。");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(seq.isOpen());
    EXPECT_TRUE(seq.isPlaying());
    EXPECT_GT(seq.positionSixteenths().value, 0);
    ASSERT_TRUE(seq.stop().ok);

    for (const auto &c : cases) {
        const auto result = seq.open(write("bad.mid", c.bytes));
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_FALSE(result.error.empty()) << c.name;
        EXPECT_FALSE(seq.isOpen()) << c.name;
        EXPECT_FALSE(seq.play().ok) << c.name;
    }
    const auto missing = seq.open((m_dir / "missing.mid").string());
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "MIDI ファイルが見つかりません。");

    // A good song still opens on the same device afterwards.
    EXPECT_TRUE(seq.open(write("good.mid", makeSong(4, 500000))).ok);
}

TEST_F(FluidSynthSequencerTest, OperationsWithoutASongOrOutOfRangeFail)
{
    FluidSynthSequencer seq;
    EXPECT_FALSE(seq.lengthSixteenths().ok);
    EXPECT_FALSE(seq.positionSixteenths().ok);
    EXPECT_FALSE(seq.play().ok);
    EXPECT_FALSE(seq.playFrom(0).ok);
    EXPECT_FALSE(seq.stop().ok);
    EXPECT_FALSE(seq.seek(0).ok);
    EXPECT_TRUE(seq.close().ok);

    ASSERT_TRUE(seq.open(write("song.mid", makeSong(4, 500000))).ok);
    EXPECT_FALSE(seq.seek(-1).ok);
    EXPECT_FALSE(seq.seek(17).ok);
    EXPECT_TRUE(seq.seek(16).ok);
    EXPECT_EQ(position(seq), 16);
}

TEST_F(FluidSynthSequencerTest, AMissingSoundFontSaysSo)
{
    ::setenv("VELKAN_SOUNDFONT", (m_dir / "none.sf2").c_str(), 1);
    FluidSynthSequencer seq;
    const auto result = seq.open(write("song.mid", makeSong(4, 500000)));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("SoundFont"), std::string::npos) << result.error;
}

TEST_F(FluidSynthSequencerTest, HalfSpeedPlaysAtHalfTheRateThroughStopAndSeek)
{
    FluidSynthSequencer seq;
    ASSERT_TRUE(seq.setSpeed(0.5).ok); // set before the song: it holds for it
    // 32 sixteenths a second as written, 16 at half speed.
    ASSERT_TRUE(seq.open(write("song.mid", makeSong(128, 125000))).ok);
    EXPECT_EQ(seq.speed(), 0.5);
    // Sixteenths a second over 600 ms of playing.
    const auto rate = [&] {
        const std::int32_t from = position(seq);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(600ms);
        const std::int32_t to = position(seq);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return (to - from) / seconds;
    };
    ASSERT_TRUE(seq.playFrom(0).ok);
    std::this_thread::sleep_for(100ms);
    EXPECT_NEAR(rate(), 16, 5);
    ASSERT_TRUE(seq.stop().ok);
    ASSERT_TRUE(seq.seek(200).ok);
    ASSERT_TRUE(seq.play().ok);
    std::this_thread::sleep_for(100ms);
    EXPECT_NEAR(rate(), 16, 5);

    ASSERT_TRUE(seq.setSpeed(1.5).ok); // while playing
    std::this_thread::sleep_for(100ms);
    EXPECT_NEAR(rate(), 48, 12);
    EXPECT_FALSE(seq.setSpeed(1.6).ok);
    EXPECT_EQ(seq.speed(), 1.5);

    // The output's buffers: some milliseconds, well under a second.
    EXPECT_GT(seq.outputLatencyNanos(), 1'000'000);
    EXPECT_LT(seq.outputLatencyNanos(), 1'000'000'000);
}

// In play the player takes a new speed up at its next block and says where in
// the song: between the positions read just before and just after the call.
TEST_F(FluidSynthSequencerTest, ASpeedChangeInPlaySaysWhereTheSongTookItUp)
{
    constexpr std::int64_t kSixteenth = 31'250'000; // 32 a second as written
    FluidSynthSequencer seq;
    ASSERT_TRUE(seq.open(write("song.mid", makeSong(128, 125000))).ok);
    ASSERT_TRUE(seq.setSpeed(0.5).ok); // stopped: nowhere in the song
    EXPECT_EQ(seq.speedChangeSongNanos(), std::nullopt);
    ASSERT_TRUE(seq.playFrom(0).ok);
    for (const double speed : {1.5, 0.5, 1.0}) {
        SCOPED_TRACE(speed);
        std::this_thread::sleep_for(150ms);
        const std::int32_t before = position(seq);
        ASSERT_TRUE(seq.setSpeed(speed).ok);
        const std::int32_t after = position(seq);
        const std::optional<std::int64_t> place = seq.speedChangeSongNanos();
        ASSERT_TRUE(place.has_value());
        EXPECT_GE(*place, before * kSixteenth);
        EXPECT_LT(*place, (after + 1) * kSixteenth);
    }
}

// The blocks are told in the song's own sixteenths, in order, from where play
// started to where the position stands when it stops.
TEST_F(FluidSynthSequencerTest, BlocksAreToldInTheSongsSixteenthsAsTheyPlay)
{
    FluidSynthSequencer seq;
    ASSERT_TRUE(seq.open(write("song.mid", makeSong(64, 125000))).ok);
    std::mutex mutex;
    std::vector<std::int32_t> told;
    seq.observeBlocks([&](std::int32_t sixteenths) {
        std::lock_guard lock(mutex);
        told.push_back(sixteenths);
    });
    ASSERT_TRUE(seq.playFrom(40).ok);
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(seq.stop().ok);
    const std::int32_t stoppedAt = position(seq);
    seq.observeBlocks({});

    std::lock_guard lock(mutex);
    // 300 ms of 1.45 ms blocks, give or take the start.
    ASSERT_GT(told.size(), 100u);
    EXPECT_GE(told.front(), 40);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_NEAR(told.back(), stoppedAt, 1);
    // 32 sixteenths a second: about 9 in the 300 ms.
    EXPECT_NEAR(told.back() - told.front(), 9, 3);
}
