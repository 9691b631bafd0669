#include "midi/MidiReader.h"

#include "midi/MidiBytes.h"
#include "midi/TrackWalker.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>

namespace velkan {

namespace {

constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kFirstEvents = 22;

std::uint32_t byteAt(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

std::int32_t quarterOf(std::int64_t tick, std::uint32_t division)
{
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(tick / division, std::numeric_limits<std::int32_t>::max()));
}

void recordTempo(MidiReadResult &result, std::int32_t quarter, std::string_view data)
{
    const std::uint32_t us = byteAt(data, 0) << 16 | byteAt(data, 1) << 8 | byteAt(data, 2);
    // A tempo of 0 would stop the clock; the player ignores it too.
    if (us == 0 || result.timing.tempo.isFull())
        return;
    const TempoChange change{quarter, roundedMsPerQuarter(us), static_cast<std::int32_t>(us)};
    result.timing.tempo.append(change);
    result.lines.push_back("dT:" + std::to_string(change.quarter) +
                           " Tempo:" + std::to_string(change.msPerQuarter));
}

void recordMeter(MidiReadResult &result, std::int32_t quarter, std::string_view data)
{
    const auto numerator = static_cast<std::uint8_t>(data[0]);
    // A bar of no beats cannot be counted.
    if (numerator == 0 || result.timing.meter.isFull())
        return;
    const MeterChange change{quarter,
                             quartersPerBarFor(numerator, static_cast<std::uint8_t>(data[1]))};
    result.timing.meter.append(change);
    result.lines.push_back("dT:" + std::to_string(change.quarter) +
                           " Mean4:" + std::to_string(change.quartersPerBar));
}

} // namespace

std::string_view midiReadMessage(MidiReadStatus status)
{
    switch (status) {
    case MidiReadStatus::Ok:
        return {};
    case MidiReadStatus::CannotOpen:
        return "入力ファイルが開けません";
    case MidiReadStatus::NoMemory:
        return "メモリの確保に失敗";
    }
    return {};
}

std::int32_t quartersPerBarFor(std::uint8_t numerator, std::uint8_t denominatorExponent)
{
    // 255 x 4 < 2^10: from there on no numerator fills a whole quarter.
    if (denominatorExponent >= 10)
        return numerator;
    const std::int32_t quarters4 = numerator * 4;
    const std::int32_t denominator = 1 << denominatorExponent;
    return quarters4 % denominator == 0 ? quarters4 / denominator : numerator;
}

std::int32_t roundedMsPerQuarter(std::uint32_t usPerQuarter)
{
    return static_cast<std::int32_t>(usPerQuarter / 1000 + ((usPerQuarter / 100) % 10 >= 5));
}

MidiReadResult readMidiImage(std::string_view image)
{
    MidiReadResult result;
    result.timeline = SongTimeline::fromSmf(image);
    const std::string_view smf = unwrapRmid(image);
    // The header is taken as 14 bytes and the first track as the chunk that
    // follows it, tag unchecked: that is how the songs we serve are laid out.
    if (smf.size() <= kFirstEvents)
        return result;
    const std::uint32_t division = byteAt(smf, 12) << 8 | byteAt(smf, 13);
    // Without ticks per quarter note no change can be placed on a quarter.
    if (division == 0 || (division & 0x8000u))
        return result;
    const std::uint64_t length = byteAt(smf, kHeaderSize + 4) << 24 |
                                 byteAt(smf, kHeaderSize + 5) << 16 |
                                 byteAt(smf, kHeaderSize + 6) << 8 | byteAt(smf, kHeaderSize + 7);
    const std::size_t available = smf.size() - kFirstEvents;
    TrackWalker walker(smf.substr(
        kFirstEvents, static_cast<std::size_t>(std::min<std::uint64_t>(length, available))));

    // End of Track does not end the walk: only the chunk's end does.
    TrackWalker::MetaEvent meta;
    while (walker.nextMeta(meta)) {
        if (meta.type == MetaType::kTempo && meta.data.size() == 3)
            recordTempo(result, quarterOf(walker.tick(), division), meta.data);
        else if (meta.type == MetaType::kTimeSignature && meta.data.size() == 4)
            recordMeter(result, quarterOf(walker.tick(), division), meta.data);
    }
    return result;
}

MidiReadResult readMidiFile(const std::filesystem::path &path, std::string *imageOut)
{
    MidiReadResult failed;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        failed.status = MidiReadStatus::CannotOpen;
        return failed;
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (size < 0 || !in.seekg(0)) {
        failed.status = MidiReadStatus::CannotOpen;
        return failed;
    }
    std::string image;
    try {
        image.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc &) {
        failed.status = MidiReadStatus::NoMemory;
        return failed;
    } catch (const std::length_error &) {
        failed.status = MidiReadStatus::NoMemory;
        return failed;
    }
    if (!in.read(image.data(), size)) {
        failed.status = MidiReadStatus::CannotOpen;
        return failed;
    }
    in.close();
    try {
        MidiReadResult read = readMidiImage(image);
        if (imageOut)
            *imageOut = std::move(image);
        return read;
    } catch (const std::bad_alloc &) {
        failed.status = MidiReadStatus::NoMemory;
        return failed;
    }
}

} // namespace velkan
