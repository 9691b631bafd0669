#include "midi/ClickTrack.h"

#include <algorithm>
#include <cstdint>

namespace velkan {

namespace {

constexpr int kDivision = 480;

void bigEndian(std::string &out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
}

void delta(std::string &out, std::uint32_t ticks)
{
    // Variable-length quantity, most significant group first.
    std::string groups(1, static_cast<char>(ticks & 0x7f));
    while ((ticks >>= 7) != 0)
        groups.insert(groups.begin(), static_cast<char>(0x80 | (ticks & 0x7f)));
    out += groups;
}

} // namespace

std::string clickTrackSmf(int beats, int bpm)
{
    beats = std::max(beats, 1);
    bpm = std::clamp(bpm, 20, 400);
    std::string track;
    delta(track, 0);
    track += "\xff\x51\x03";
    bigEndian(track, static_cast<std::uint32_t>(60'000'000 / bpm), 3);
    delta(track, 0);
    track += std::string("\xff\x58\x04\x04\x02\x18\x08", 7);
    constexpr std::uint32_t kLength = kDivision / 4;
    for (int i = 0; i < beats; ++i) {
        // High wood block on the bar line, low one on the other beats.
        const char key = i % 4 == 0 ? 76 : 77;
        delta(track, i == 0 ? 0 : kDivision - kLength);
        track += '\x99';
        track += key;
        track += '\x64';
        delta(track, kLength);
        track += '\x89';
        track += key;
        track += '\x40';
    }
    delta(track, kDivision - kLength);
    track += std::string("\xff\x2f\x00", 3);

    std::string smf = "MThd";
    bigEndian(smf, 6, 4);
    bigEndian(smf, 0, 2); // format 0
    bigEndian(smf, 1, 2);
    bigEndian(smf, kDivision, 2);
    smf += "MTrk";
    bigEndian(smf, static_cast<std::uint32_t>(track.size()), 4);
    smf += track;
    return smf;
}

} // namespace velkan
