#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velkan {

// The Standard MIDI File inside a file image: for a RIFF RMID file, the bytes
// of the embedded MThd...end of its data chunk; for anything else, the image
// unchanged. Never reads past the image.
std::string_view unwrapRmid(std::string_view image);

// Song length in sixteenth notes: the longest track's end tick x 4 / division,
// over all track chunks of a Standard MIDI File (already unwrapped). Nothing
// when the header is unreadable or the division is 0 or in SMPTE form.
std::optional<std::int32_t> songLengthSixteenths(std::string_view smf);

} // namespace velkan
