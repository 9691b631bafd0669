#pragma once

#include "midi/MusicalPosition.h"

#include <cstdint>
#include <string_view>

namespace velkan {

// The decimal number a text begins with, read as atoi reads it: leading
// blanks, an optional sign, digits up to the first other byte; no digits give
// 0. Values beyond 32 bits saturate instead of overflowing.
std::int32_t leadingInteger(std::string_view text);

// The bar and step of a text that begins "@WAIT(": the bar is read from byte 6
// up to the first ',' among the first 15 bytes (15 when none), the step from
// the byte after that comma up to the first ')' among the first 15 bytes (15
// when none). A span past the end of the text, or one that ends before it
// starts, reads as 0: "@WAIT(12);" is bar 12, step 0. Nothing is normalised.
// Both the timing offset and the appear/erase timings read lines this way.
MusicalPosition readWaitPosition(std::string_view text);

} // namespace velkan
