// The beat clock against the music: a generated five-minute song at 461538 us
// a quarter note plays through FluidSynth (file driver unless
// VELKAN_AUDIO_DRIVER says otherwise) while the periodic timer ticks at the
// exact tempo. For each quarter N, the time the clock enters N is compared with
// the time the player's position reaches N. Target: within 10 ms to the end.
// Also prints where a clock run in whole milliseconds (462 ms) would have been.
#include "platform/FluidSynthSequencer.h"
#include "platform/PeriodicTimer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono;

namespace {

constexpr std::uint32_t kUsPerQuarter = 461538;
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

// One note per quarter, a short tune over an octave so it can be listened to.
std::string makeSong(int quarters)
{
    std::string track;
    putVlq(track, 0);
    track += "\xFF\x51\x03";
    track.push_back(static_cast<char>(kUsPerQuarter >> 16));
    track.push_back(static_cast<char>((kUsPerQuarter >> 8) & 0xFF));
    track.push_back(static_cast<char>(kUsPerQuarter & 0xFF));
    const char scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (int i = 0; i < quarters; ++i) {
        putVlq(track, 0);
        track += std::string{'\x90', scale[i % 8], '\x50'};
        putVlq(track, kDivision);
        track += std::string{'\x80', scale[i % 8], '\x00'};
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

} // namespace

int main(int argc, char **argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int quarters = static_cast<int>(minutes * 60e6 / kUsPerQuarter);
    ::setenv("VELKAN_AUDIO_DRIVER", "file", 0);

    const auto path = std::filesystem::temp_directory_path() / "velkan-bench-clock.mid";
    std::ofstream(path, std::ios::binary) << makeSong(quarters);

    velkan::FluidSynthSequencer seq;
    if (const auto opened = seq.open(path.string()); !opened) {
        std::printf("open failed: %s\n", opened.error.c_str());
        return 1;
    }
    std::printf("%d quarters at %u us (%.1f min), driver %s\n", quarters, kUsPerQuarter, minutes,
                std::getenv("VELKAN_AUDIO_DRIVER"));

    std::vector<steady_clock::time_point> clockAt(static_cast<std::size_t>(quarters) + 1);
    std::vector<steady_clock::time_point> songAt(static_cast<std::size_t>(quarters) + 1);
    std::atomic<int> clockQuarter{0};
    velkan::PeriodicTimer timer;

    const auto start = steady_clock::now();
    if (const auto played = seq.playFrom(0); !played) {
        std::printf("play failed: %s\n", played.error.c_str());
        return 1;
    }
    clockAt[0] = songAt[0] = start;
    timer.start(kUsPerQuarter, [&] {
        const int n = clockQuarter.load() + 1;
        if (n <= quarters)
            clockAt[static_cast<std::size_t>(n)] = steady_clock::now();
        clockQuarter = n;
        if (n >= quarters)
            timer.requestStop();
    });

    // The sequencer belongs to this thread; poll it every millisecond.
    int songQuarter = 0;
    while (songQuarter < quarters) {
        const auto position = seq.positionSixteenths();
        const auto now = steady_clock::now();
        if (!position) {
            std::printf("position failed: %s\n", position.error.c_str());
            return 1;
        }
        while (songQuarter < quarters && position.value >= 4 * (songQuarter + 1))
            songAt[static_cast<std::size_t>(++songQuarter)] = now;
        if (now - start > microseconds(static_cast<std::int64_t>(quarters + 20) * kUsPerQuarter))
            break;
        std::this_thread::sleep_for(milliseconds(1));
    }
    // The clock may be a hair behind the song at the last quarter: let it get there.
    for (int i = 0; i < 1000 && clockQuarter.load() < quarters; ++i)
        std::this_thread::sleep_for(milliseconds(1));
    timer.stop();
    seq.stop();

    double maxDiff = 0, minSigned = 1e9, maxSigned = -1e9, wholeMsWorst = 0;
    for (int n = 1; n <= songQuarter && n <= clockQuarter.load(); ++n) {
        const double diff = duration<double, std::milli>(clockAt[n] - songAt[n]).count();
        maxDiff = std::max(maxDiff, std::abs(diff));
        minSigned = std::min(minSigned, diff);
        maxSigned = std::max(maxSigned, diff);
        const auto wholeMsClock = start + milliseconds(462LL * n);
        wholeMsWorst = std::max(
            wholeMsWorst, std::abs(duration<double, std::milli>(wholeMsClock - songAt[n]).count()));
        if (n % 100 == 0 || n == quarters)
            std::printf("quarter %4d   clock - song %+7.2f ms\n", n, diff);
    }
    std::printf("quarters compared: %d\n", std::min(songQuarter, clockQuarter.load()));
    std::printf("max |clock - song| %.2f ms (range %+.2f .. %+.2f ms)   target <= 10 ms: %s\n",
                maxDiff, minSigned, maxSigned, maxDiff <= 10.0 ? "met" : "MISSED");
    std::printf("a 462 ms clock would have been up to %.1f ms off\n", wholeMsWorst);
    std::filesystem::remove(path);
    return 0;
}
