#pragma once

#include "midi/MusicalPosition.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velkan {

// How the editor's tools read a timing line; formatWait writes one.

// A line that begins with exactly "@WAIT(" (case and position matter): the
// timing lines the tools move and replace.
bool isWaitLine(std::string_view line);
// A line the player shows as a lyric, not an empty one: its first byte is
// not '@'.
bool isLyricLine(std::string_view line);

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

// What a rewritten @WAIT line keeps of the old one: whatever followed its
// first ')', less one ';' directly after it; nothing without a ')'. So
// "@WAIT(12,96);@COLOR(32);" keeps "@COLOR(32);".
std::string_view waitLineTail(std::string_view line);
// `line` timed at `p`: "@WAIT(bar,step);" and the tail it keeps.
std::string rewrittenWaitLine(std::string_view line, const MusicalPosition &p);

} // namespace velkan
