#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velkan {

// The program's one Unicode -> Shift-JIS (code page 932) encoder, for the
// lyrics files read as Unicode and, through the display codec, the line edit
// box. Where a character has several codes it gives the one Windows writes;
// the wave dash, double vertical line, minus, cent, pound, not sign, em dash
// and broken bar that Linux input gives take the codes of their look-alikes
// in the code page (8160, 8161, 817C, 8191, 8192, 81CA, 815C, FA55).

// The code of c: one byte (below 0x100) or lead << 8 | trail; nothing when
// the code page has none.
std::optional<std::uint16_t> shiftJisCode(char32_t c);

// Appends c's one or two bytes; false, with nothing appended, without a code.
bool appendShiftJis(char32_t c, std::string &out);

} // namespace velkan
