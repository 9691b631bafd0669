// The song timeline: building it for a song with 100,000 tempo events (from
// the events, and from the MIDI file through the reader), and the cost of one
// lookup as the number of events grows. Targets: build < 50 ms; lookups grow
// as log n.
#include "midi/SongTimeline.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace std::chrono;
using velkan::SongTimeline;
using velkan::TempoEvent;
using velkan::TimeSignatureEvent;

namespace {

constexpr int kDivision = 480;

std::vector<TempoEvent> tempos(int n)
{
    std::mt19937 rng(7);
    std::vector<TempoEvent> out;
    out.reserve(static_cast<std::size_t>(n));
    std::int64_t tick = 0;
    for (int i = 0; i < n; ++i) {
        tick += std::uniform_int_distribution<int>(1, 240)(rng);
        out.push_back({tick, std::uniform_int_distribution<std::uint32_t>(300000, 900000)(rng)});
    }
    return out;
}

std::string smfWith(const std::vector<TempoEvent> &events)
{
    std::string track;
    std::int64_t at = 0;
    const auto vlq = [&track](std::uint32_t v) {
        std::string bytes(1, static_cast<char>(v & 0x7F));
        while (v >>= 7)
            bytes.insert(bytes.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        track += bytes;
    };
    for (const TempoEvent &e : events) {
        vlq(static_cast<std::uint32_t>(e.tick - at));
        at = e.tick;
        track += {'\xFF',
                  0x51,
                  3,
                  static_cast<char>(e.usPerQuarter >> 16),
                  static_cast<char>(e.usPerQuarter >> 8),
                  static_cast<char>(e.usPerQuarter)};
    }
    track += {0, '\xFF', 0x2F, 0};
    const auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    return "MThd" + be32(6) + std::string("\x00\x00\x00\x01", 4) +
           std::string{static_cast<char>(kDivision >> 8), static_cast<char>(kDivision & 0xFF)} +
           "MTrk" + be32(static_cast<std::uint32_t>(track.size())) + track;
}

template <typename F> double medianMs(int rounds, F &&f)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = steady_clock::now();
        f();
        times.push_back(duration<double, std::milli>(steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    const std::vector<TempoEvent> events = tempos(100000);
    const std::vector<TimeSignatureEvent> meters{{0, 4, 2}, {kDivision * 1001, 3, 2}};
    std::size_t sink = 0;
    const double build = medianMs(5, [&] {
        const SongTimeline t(kDivision, events, meters);
        sink += t.tempoSpanCount();
    });
    const std::string smf = smfWith(events);
    const double fromFile =
        medianMs(5, [&] { sink += SongTimeline::fromSmf(smf)->tempoSpanCount(); });
    std::printf("100,000 tempo events: build %.2f ms, from the MIDI file (%.1f MB) %.2f ms   "
                "target < 50 ms: %s\n",
                build, smf.size() / 1e6, fromFile,
                std::max(build, fromFile) < 50 ? "met" : "MISSED");

    for (const int n : {1000, 10000, 100000, 1000000}) {
        const SongTimeline t(kDivision, tempos(n), meters);
        const std::int64_t lastNs = t.nanosAt(tempos(n).back().tick);
        std::mt19937_64 rng(1);
        constexpr int kLookups = 1'000'000;
        std::vector<std::int64_t> at(kLookups);
        for (auto &v : at)
            v = std::uniform_int_distribution<std::int64_t>(0, lastNs)(rng);
        const double ms = medianMs(3, [&] {
            for (const std::int64_t ns : at)
                sink += static_cast<std::size_t>(t.beatAt(t.tickAt(ns)).beat);
        });
        std::printf("%8d events: time -> tick -> beat %.0f ns a lookup\n", n, ms * 1e6 / kLookups);
    }
    return sink == 0;
}
