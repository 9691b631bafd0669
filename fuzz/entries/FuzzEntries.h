#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The checks each fuzz target runs on one input. The libFuzzer targets and the
// corpus replay test call the same functions, so a file that once broke a
// promise keeps being checked by the ordinary test run.
//
// Each returns an empty string when the input kept every promise, else a
// description of the broken one. Crashes and undefined behaviour are left to
// the sanitizers.
namespace velkan::fuzz {

// The MIDI reader, the RMID unwrapping, the song length, the song's timeline
// and the beat clock running on it, and a script of the song's lyrics.
std::string checkMidiImage(std::string_view bytes);

// Script load -> save -> load gives the same lines; a script that begins with
// "@", ends every line with CR LF and holds no Ctrl-Z saves back byte for byte.
std::string checkScriptRoundTrip(std::string_view bytes);

// The @WAIT reader, the timing offset and appear/erase timings built on it
// against a random song's bars, and the Shift-JIS aware search.
std::string checkWaitAndSearch(std::string_view bytes);

// The player's reading of a script beside a random song: events never go
// back in time, name lines the script has, stop where the player stops, and
// stay in proportion to the script. Its events drive the player's screen: the
// cursor stays on it, and the screen timeline's moments (by tick and by line)
// are those replayed from the start.
std::string checkPlayerReading(std::string_view bytes);

// Display codec: bytes -> text -> bytes is the identity.
std::string checkShiftJisCodec(std::string_view bytes);

// A lyrics file's bytes: the encoding detected by the byte-order mark and
// UTF-8 rules; Shift-JIS passes through as it is; a Unicode text (read as each
// encoding) converts to the codes of its characters, Shift-JIS and back giving
// the text, or stops at the line and character its problem names; the load
// reads a Shift-JIS file as a script and a converted one whole or not at all.
std::string checkLyricsText(std::string_view bytes);

// A recovery file's bytes: a refused file leaves the state read over it as it
// was; one read whole writes back to the same state (and to the same bytes
// when in the written form), and reads as nothing when cut short, lengthened
// or changed in one byte.
std::string checkRecoveryFile(std::string_view bytes);

using Check = std::string (*)(std::string_view);

// For LLVMFuzzerTestOneInput: runs the check and aborts with its message.
int runCheck(Check check, const std::uint8_t *data, std::size_t size);

} // namespace velkan::fuzz
