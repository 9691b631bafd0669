#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace velkan {

// The Standard MIDI File inside a file image: for a RIFF RMID file, the bytes
// of the embedded MThd...end of its data chunk; for anything else, the image
// unchanged. Never reads past the image.
std::string_view unwrapRmid(std::string_view image);

// The header of a Standard MIDI File (already unwrapped), or nothing when it
// does not begin with an MThd chunk of at least six bytes.
struct SmfHeader {
    std::uint16_t format = 0;
    std::uint16_t tracks = 0;
    std::uint16_t division = 0; // ticks per quarter note; 0 or top bit set: unusable
    bool hasTickDivision() const { return division != 0 && !(division & 0x8000u); }
};
std::optional<SmfHeader> readSmfHeader(std::string_view smf);

// Hands the event bytes of every MTrk chunk, in file order, to `visit`
// (chunks of other kinds are skipped, as the standard asks; a chunk that
// claims more than the image holds is cut at its end). `visit` returns false
// to stop the walk.
void forEachTrack(std::string_view smf, const std::function<bool(std::string_view events)> &visit);

// Song length in sixteenth notes: the longest track's end tick x 4 / division,
// over all track chunks of a Standard MIDI File (already unwrapped). Nothing
// when the header is unreadable or the division is 0 or in SMPTE form.
std::optional<std::int32_t> songLengthSixteenths(std::string_view smf);

} // namespace velkan
