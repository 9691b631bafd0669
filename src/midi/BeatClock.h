#pragma once

#include "midi/TimingMaps.h"

#include <cstdint>

namespace velkan {

// Bars and beats counted from the song's own tempo and meter tables, one beat
// per quarter note. All plain data: the beat timer thread owns it while the
// timer runs; the UI thread touches it only with the timer stopped (see
// SharedBeat for what the UI reads meanwhile).
struct BeatClock {
    std::int32_t quarterTick = 0;  // the quarter now sounding, from the song start
    std::int32_t bar = 0;          // from 1; 0 before any song
    std::int32_t beat = 0;         // from 1; 0 before any song
    std::int32_t beatsPerBar = 0;  // quartersPerBar in force
    std::int32_t meterCursor = 0;  // next MeterMap entry to apply
    std::int32_t meterPending = 0; // 1 while a MeterMap entry remains to apply
    std::int32_t tempoCursor = 0;  // next TempoMap entry to apply
    std::int32_t tempoPending = 0; // 1 while a TempoMap entry remains to apply
    // The period the beat timer runs at, set by a start or resume and by each
    // tempo change: re-applying the tempo in force restarts no timer.
    std::int64_t periodUs = 0;
    friend bool operator==(const BeatClock &, const BeatClock &) = default;
};

// The beat timer's period when a song has no tempo event: 120 quarters a minute.
inline constexpr std::int64_t kDefaultPeriodUs = 500000;
// The timer never runs faster than this.
inline constexpr std::int64_t kMinPeriodUs = 1000;

// The beat timer period for a tempo entry: its exact microseconds (whole
// milliseconds would drift from the music), msPerQuarter x 1000 when those
// are unknown, never below kMinPeriodUs.
std::int64_t periodUs(const TempoChange &change);
// The period for entry i of the map; kDefaultPeriodUs for an empty map.
std::int64_t periodUsAt(const TempoMap &tempo, int i);

// Puts the clock on quarter q: sets bar, beat, quarterTick and both cursors.
// Returns the number of bars completed before q. An empty MeterMap counts
// with kDefaultMeter; the first meter entry counts from the song start, as
// the clock does when it runs from the top.
int locatePosition(BeatClock &clock, const SongTiming &timing, int q);

// Sets the clock for a start from the top. An empty MeterMap gets
// kDefaultMeter as its one entry (the caller's table is changed). Returns the
// first beat timer period in microseconds.
std::int64_t startFromTop(BeatClock &clock, SongTiming &timing);

// Where a resume plays from and at what period.
struct ResumePlan {
    std::int32_t seekPosition = 0; // sixteenths: the start of the current beat
    std::int64_t periodUs = kDefaultPeriodUs;
};

// Sets the clock on the device position (sixteenths) for a resume.
ResumePlan resumeAt(BeatClock &clock, const SongTiming &timing, std::int32_t devicePosition);

// The position (sixteenths) of the start of the beat the clock stands in:
// 4 x quarterTick. In 4/4 this is 16 x (bar - 1) + 4 x (beat - 1).
std::int32_t resumePosition(const BeatClock &clock);

// What the UI must do after one beat timer tick.
struct TickResult {
    std::int32_t bar = 0;
    std::int32_t beat = 0;          // the beat box shows it after every tick
    bool barChanged = false;        // show bar, move the thumb
    std::int32_t thumbPosition = 0; // sixteenths, when barChanged: 4 x quarterTick
    bool songEnded = false;         // stop the timer, end the performance
    bool periodChanged = false;     // run the timer at newPeriodUs from now on
    std::int64_t newPeriodUs = 0;
    std::int32_t msPerQuarter = 0; // of the tempo entry now in force, when periodChanged
};

// One quarter note on: advances the clock, applies a meter or tempo change
// whose quarter is reached. songLength is in sixteenths; the song ends at the
// bar turnover whose position is not below it.
TickResult tickBeatClock(BeatClock &clock, const SongTiming &timing, std::int32_t songLength);

} // namespace velkan
