#pragma once

#include <cstddef>
#include <string_view>

namespace velkan {

// Byte-level helpers for Shift-JIS (CP932) script lines.

// 0x81-0x9F and 0xE0-0xFC begin a double-byte character; the byte after one
// belongs to it, whatever its value.
constexpr bool isShiftJisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The first place where `needle` starts on a character boundary of `text`, or
// npos. A second byte of a double-byte character never begins a match.
std::size_t findShiftJis(std::string_view text, std::string_view needle);

inline bool containsShiftJis(std::string_view text, std::string_view needle)
{
    return findShiftJis(text, needle) != std::string_view::npos;
}

} // namespace velkan
