#include "midi/MidiBytes.h"

#include "midi/TrackWalker.h"

#include <algorithm>
#include <limits>

namespace velkan {

namespace {

std::uint32_t byteAt(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

std::uint32_t readBe32(std::string_view s, std::size_t i)
{
    return byteAt(s, i) << 24 | byteAt(s, i + 1) << 16 | byteAt(s, i + 2) << 8 | byteAt(s, i + 3);
}

std::uint32_t readLe32(std::string_view s, std::size_t i)
{
    return byteAt(s, i) | byteAt(s, i + 1) << 8 | byteAt(s, i + 2) << 16 | byteAt(s, i + 3) << 24;
}

// The End of Track meta event ends a track for the sequencer, so the song
// length stops there even when the chunk holds more.
std::int64_t trackEndTick(std::string_view events)
{
    TrackWalker walker(events);
    TrackWalker::MetaEvent meta;
    while (walker.nextMeta(meta)) {
        if (meta.type == MetaType::kEndOfTrack)
            break;
    }
    return walker.tick();
}

} // namespace

std::string_view unwrapRmid(std::string_view image)
{
    if (image.size() < 12 || image.substr(0, 4) != "RIFF" || image.substr(8, 4) != "RMID")
        return image;
    // The RIFF size is often wrong in the wild: the image end is what counts.
    std::size_t pos = 12;
    while (image.size() - pos >= 8) {
        const std::string_view id = image.substr(pos, 4);
        const std::uint64_t size = readLe32(image, pos + 4);
        const std::size_t dataStart = pos + 8;
        const std::size_t dataEnd =
            static_cast<std::size_t>(std::min<std::uint64_t>(dataStart + size, image.size()));
        if (id == "data") {
            const std::string_view data = image.substr(dataStart, dataEnd - dataStart);
            const std::size_t mthd = data.find("MThd");
            return mthd == std::string_view::npos ? image : data.substr(mthd);
        }
        // Chunks are padded to an even length.
        pos = static_cast<std::size_t>(
            std::min<std::uint64_t>(dataStart + size + (size & 1u), image.size()));
    }
    return image;
}

std::optional<SmfHeader> readSmfHeader(std::string_view smf)
{
    if (smf.size() < 14 || smf.substr(0, 4) != "MThd" || readBe32(smf, 4) < 6)
        return std::nullopt;
    SmfHeader header;
    header.format = static_cast<std::uint16_t>(byteAt(smf, 8) << 8 | byteAt(smf, 9));
    header.tracks = static_cast<std::uint16_t>(byteAt(smf, 10) << 8 | byteAt(smf, 11));
    header.division = static_cast<std::uint16_t>(byteAt(smf, 12) << 8 | byteAt(smf, 13));
    return header;
}

void forEachTrack(std::string_view smf, const std::function<bool(std::string_view events)> &visit)
{
    if (!readSmfHeader(smf))
        return;
    std::uint64_t pos = 8 + std::uint64_t{readBe32(smf, 4)};
    while (pos + 8 <= smf.size()) {
        const std::size_t at = static_cast<std::size_t>(pos);
        const std::uint64_t length = readBe32(smf, at + 4);
        const std::size_t start = at + 8;
        const std::size_t end =
            static_cast<std::size_t>(std::min<std::uint64_t>(start + length, smf.size()));
        if (smf.substr(at, 4) == "MTrk" && !visit(smf.substr(start, end - start)))
            return;
        pos = start + length;
    }
}

std::optional<std::int32_t> songLengthSixteenths(std::string_view smf)
{
    const std::optional<SmfHeader> header = readSmfHeader(smf);
    if (!header || !header->hasTickDivision())
        return std::nullopt;

    std::int64_t longest = 0;
    forEachTrack(smf, [&longest](std::string_view events) {
        longest = std::max(longest, trackEndTick(events));
        return true;
    });

    // The tick is capped well below the point where x 4 could overflow.
    const std::int64_t sixteenths = longest * 4 / header->division;
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(sixteenths, std::numeric_limits<std::int32_t>::max()));
}

} // namespace velkan
