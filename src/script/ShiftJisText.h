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

// Whether typed bytes may stand as one script line: they hold no CR, no LF
// and no Ctrl-Z. A saved LF splits the line in two on the next load, a
// Ctrl-Z ends the text there and drops every line after it, and players and
// editors break the line at a CR. (No Shift-JIS trail byte is below 0x40, so
// a byte of these values is always that control code.) Every path that puts
// typed text into the script asks this first.
constexpr bool isOneScriptLine(std::string_view bytes)
{
    return bytes.find_first_of("\r\n\x1A") == std::string_view::npos;
}

} // namespace velkan
