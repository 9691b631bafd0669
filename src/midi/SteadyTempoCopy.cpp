#include "midi/SteadyTempoCopy.h"

#include "midi/MidiBytes.h"
#include "midi/TrackWalker.h"

#include <limits>

namespace velkan {

namespace {

// The longest delta-time a variable-length quantity may carry.
constexpr std::int64_t kLongestDelta = 0x0FFFFFFF;
constexpr std::int64_t kLastSteadyTick = std::numeric_limits<std::int32_t>::max();

void putVlq(std::string &out, std::uint32_t value)
{
    char bytes[5];
    int n = 0;
    bytes[n++] = static_cast<char>(value & 0x7F);
    while (value >>= 7)
        bytes[n++] = static_cast<char>(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(bytes[--n]);
}

void putBe32(std::string &out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// The nearest tick of the copy to a song tick's exact time.
std::int64_t nearestSteadyTick(const SongTimeline &timeline, std::int64_t songTick)
{
    return (timeline.nanosAt(songTick) + steady::kNanosPerTick / 2) / steady::kNanosPerTick;
}

} // namespace

std::int64_t steadyTickOf(const SongTimeline &timeline, std::int64_t songTick)
{
    return (timeline.nanosAt(songTick) + steady::kNanosPerTick - 1) / steady::kNanosPerTick;
}

std::int64_t songTickOf(const SongTimeline &timeline, std::int64_t steadyTick)
{
    return timeline.tickAt(steadyTick * steady::kNanosPerTick);
}

std::optional<std::string> steadyTempoCopy(std::string_view smf, const SongTimeline &timeline)
{
    const std::optional<SmfHeader> header = readSmfHeader(smf);
    if (!header || !header->hasTickDivision() || header->format > 2)
        return std::nullopt;

    std::string tracks;
    int trackCount = 0;
    bool faithful = true;
    forEachTrack(smf, [&](std::string_view events) {
        std::string out;
        out.reserve(events.size() + 16);
        std::int64_t last = 0;
        const auto at = [&](std::int64_t steadyTick) {
            const std::int64_t delta = steadyTick - last;
            if (steadyTick > kLastSteadyTick || delta < 0 || delta > kLongestDelta) {
                faithful = false;
                return false;
            }
            putVlq(out, static_cast<std::uint32_t>(delta));
            last = steadyTick;
            return true;
        };
        if (trackCount == 0) {
            at(0);
            out += std::string{'\xFF',
                               static_cast<char>(MetaType::kTempo),
                               3,
                               static_cast<char>(steady::kUsPerQuarter >> 16),
                               static_cast<char>(steady::kUsPerQuarter >> 8),
                               static_cast<char>(steady::kUsPerQuarter)};
        }
        TrackWalker walker(events);
        TrackWalker::Event event;
        bool ended = false;
        while (!ended && faithful && walker.next(event)) {
            if (event.kind == TrackWalker::Event::Kind::Meta && event.metaType == MetaType::kTempo)
                continue;
            if (!at(nearestSteadyTick(timeline, walker.tick())))
                break;
            out.push_back(static_cast<char>(event.status));
            switch (event.kind) {
            case TrackWalker::Event::Kind::Channel:
                break;
            case TrackWalker::Event::Kind::SysEx:
                putVlq(out, static_cast<std::uint32_t>(event.data.size()));
                break;
            case TrackWalker::Event::Kind::Meta:
                out.push_back(static_cast<char>(event.metaType));
                putVlq(out, static_cast<std::uint32_t>(event.data.size()));
                ended = event.metaType == MetaType::kEndOfTrack;
                break;
            }
            out += event.data;
        }
        // Bytes no event claimed: the player may read this track otherwise.
        if (walker.strayBytes() > 0)
            faithful = false;
        if (!ended && faithful && at(nearestSteadyTick(timeline, walker.tick())))
            out += std::string("\xFF\x2F\x00", 3);
        tracks += "MTrk";
        putBe32(tracks, static_cast<std::uint32_t>(out.size()));
        tracks += out;
        ++trackCount;
        return faithful;
    });
    if (!faithful || trackCount == 0 || trackCount > 0xFFFF)
        return std::nullopt;

    std::string copy = "MThd";
    putBe32(copy, 6);
    copy += std::string{0,
                        static_cast<char>(header->format),
                        static_cast<char>(trackCount >> 8),
                        static_cast<char>(trackCount & 0xFF),
                        static_cast<char>(steady::kDivision >> 8),
                        static_cast<char>(steady::kDivision & 0xFF)};
    return copy + tracks;
}

} // namespace velkan
