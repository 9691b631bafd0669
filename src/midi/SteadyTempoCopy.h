#pragma once

#include "midi/SongTimeline.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkan {

// A copy of a song for a sequencer that applies tempo changes late.
//
// FluidSynth's player takes a tempo event up at the first block of samples
// after its tick and counts on from the tick it has reached by then: the ticks
// in between run at the old tempo. Every change moves the rest of the song by
// up to a block (about 1.5 ms) times the change, and over a few hundred changes
// the music drifts tens of milliseconds from the song's own time. The copy
// holds every event at its exact time under one steady tempo, 10 us a tick, so
// the player has no tempo change to take up late.
namespace steady {
inline constexpr int kDivision = 1000;
inline constexpr std::uint32_t kUsPerQuarter = 10000;
inline constexpr std::int64_t kNanosPerTick = 10000;
} // namespace steady

// The copy of a Standard MIDI File (already unwrapped) whose timeline is
// `timeline`: the same tracks and events, each track up to its End of Track,
// tempo events left out and one steady tempo put first. Nothing when the file
// cannot be copied faithfully (no usable header, a damaged track, a song
// longer than the copy's ticks can count): play the file itself then.
std::optional<std::string> steadyTempoCopy(std::string_view smf, const SongTimeline &timeline);

// Ticks of the song and of its copy: the copy's first tick at or after a song
// tick, and the song tick sounding at a tick of the copy.
std::int64_t steadyTickOf(const SongTimeline &timeline, std::int64_t songTick);
std::int64_t songTickOf(const SongTimeline &timeline, std::int64_t steadyTick);

} // namespace velkan
