// Reader throughput: a first track of about 10 MB of notes under running
// status, with tempo and meter changes sprinkled in, read from memory.
#include "midi/MidiBytes.h"
#include "midi/MidiReader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string buildSong(std::size_t trackBytes)
{
    std::string events;
    events.reserve(trackBytes + 64);
    std::size_t n = 0;
    while (events.size() < trackBytes) {
        if (n % 5000 == 0) {
            // delta 0, FF 51 03 tempo
            const unsigned us = 400000 + static_cast<unsigned>(n % 200000);
            events += {0,
                       '\xFF',
                       0x51,
                       3,
                       static_cast<char>(us >> 16),
                       static_cast<char>(us >> 8),
                       static_cast<char>(us)};
            events += {0, '\xFF', 0x58, 4, static_cast<char>(3 + n % 4), 2, 24, 8};
        }
        const char key = static_cast<char>(40 + n % 40);
        if (n % 64 == 0)
            events += {60, '\x90', key, 100}; // status byte
        else
            events += {60, key, static_cast<char>(n % 2 ? 0 : 100)}; // running status
        ++n;
    }
    events += {0, '\xFF', 0x2F, 0};
    std::string smf = "MThd";
    smf += {0, 0, 0, 6, 0, 0, 0, 1, 1, static_cast<char>(0xE0)}; // division 480
    smf += "MTrk";
    const auto len = static_cast<unsigned>(events.size());
    smf += {static_cast<char>(len >> 24), static_cast<char>(len >> 16), static_cast<char>(len >> 8),
            static_cast<char>(len)};
    return smf + events;
}

} // namespace

int main()
{
    const std::string song = buildSong(10u << 20);
    const double megabytes = static_cast<double>(song.size()) / (1 << 20);
    std::vector<double> seconds;
    int entries = 0;
    for (int round = 0; round < 15; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const velkan::MidiReadResult r = velkan::readMidiImage(song);
        const auto stop = std::chrono::steady_clock::now();
        entries = r.timing.tempo.count() + r.timing.meter.count();
        seconds.push_back(std::chrono::duration<double>(stop - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    const auto lengthStart = std::chrono::steady_clock::now();
    const auto length = velkan::songLengthSixteenths(song);
    const double lengthSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - lengthStart).count();

    std::printf("midi reader: %.1f MB first track, %d entries recorded\n", megabytes, entries);
    std::printf("  best   %.1f MB/s\n", megabytes / seconds.front());
    std::printf("  median %.1f MB/s  (target >= 200 MB/s)\n",
                megabytes / seconds[seconds.size() / 2]);
    std::printf("song length: %d sixteenths, %.1f MB/s\n", length.value_or(-1),
                megabytes / lengthSeconds);
    return 0;
}
