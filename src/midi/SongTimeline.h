#pragma once

#include "midi/MusicalPosition.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velkan {

// A tempo event: microseconds per quarter note from its tick on.
struct TempoEvent {
    std::int64_t tick = 0;
    std::uint32_t usPerQuarter = 0;
};

// A time-signature event: numerator / 2^denominatorExponent.
struct TimeSignatureEvent {
    std::int64_t tick = 0;
    int numerator = 0;
    int denominatorExponent = 0;
};

// The bar that holds a tick.
struct BarPlace {
    std::int32_t bar = 0;       // from 1
    std::int64_t startTick = 0; // its bar line
    std::int64_t ticks = 0;     // its length
};

// The beat that holds a tick: beat k of a bar starts k - 1 quarter notes after
// its bar line, so a bar that is not whole quarters ends with a shorter beat.
struct BeatPlace {
    std::int32_t bar = 0;
    std::int32_t beat = 0; // from 1
    std::int64_t startTick = 0;
    std::int64_t endTick = 0; // where the next beat starts
    friend bool operator==(const BeatPlace &, const BeatPlace &) = default;
};

// The song's time, built once per song from every tempo and time-signature
// event of every track: the one place where ticks become real time and bars
// and beats.
//
// Time is what the sequencer plays: each tempo event takes effect at its exact
// tick, 500000 us a quarter until the first one; events on one tick apply in
// file order, so the last one holds.
//
// Bars are what the WRD player counts: 4/4 from tick 0; at every bar line the
// meter becomes the last time signature at or before that line (a signature
// inside a bar waits for the next bar line); a bar is numerator x division x 4
// / denominator ticks, in integer arithmetic. A step is 1/48 of a quarter note.
//
// Immutable once built, so any thread may read it.
class SongTimeline {
public:
    static constexpr std::uint32_t kDefaultUsPerQuarter = 500000;
    static constexpr int kStepsPerQuarter = 48;
    // Players keep ticks in 32 bits: events beyond this are not counted.
    static constexpr std::int64_t kLastTick = 0x7FFFFFFF;

    // A run of bars of one length: bar `firstBar` starts at `startTick`.
    struct MeterSpan {
        std::int64_t firstBar = 1;
        std::int64_t startTick = 0;
        std::int64_t barTicks = 0;
        friend bool operator==(const MeterSpan &, const MeterSpan &) = default;
    };

    // A song of `division` ticks per quarter note (1 or more) with these
    // events, given in file order. A tempo of 0, a numerator of 0 and a bar
    // shorter than one tick are not counted.
    explicit SongTimeline(int division = 480, std::vector<TempoEvent> tempos = {},
                          std::vector<TimeSignatureEvent> signatures = {});

    // The timeline of a MIDI file image (an RMID is unwrapped): every track of a
    // format 0 or 1 file, the first track of a format 2 file, each read up to
    // its End of Track. Nothing when the header is missing or its division is
    // not in ticks per quarter note.
    static std::optional<SongTimeline> fromSmf(std::string_view image);

    int division() const { return m_division; }

    // Real time from the song start, in nanoseconds: the first whole
    // nanosecond at or after the tick's exact time.
    std::int64_t nanosAt(std::int64_t tick) const;
    // The tick sounding at a moment: the last tick whose time is not after it.
    std::int64_t tickAt(std::int64_t nanos) const;
    std::uint32_t usPerQuarterAt(std::int64_t tick) const;

    BarPlace barAt(std::int64_t tick) const;
    // The bar line of `bar` (bars before 1 continue the first bar's length).
    std::int64_t barStart(std::int64_t bar) const;
    BeatPlace beatAt(std::int64_t tick) const;
    // The position a timing line names for a tick: its bar and the steps
    // since that bar's line (ticks x 48 / division, rounded down).
    MusicalPosition positionAt(std::int64_t tick) const;
    // The tick the player waits for at "@WAIT(bar,step);": the bar line of
    // bar (1 at least) plus division x step / 48, a step past the bar's end
    // held at the next bar line.
    std::int64_t tickOf(const MusicalPosition &p) const;

    // Sequencer positions are sixteenth notes: ticks x 4 / division.
    std::int32_t sixteenthOf(std::int64_t tick) const;
    std::int64_t tickOfSixteenth(std::int64_t sixteenths) const;

    const std::vector<MeterSpan> &meterSpans() const { return m_meter; }
    // Tempo runs after merging events of one tick and repeats of one tempo.
    std::size_t tempoSpanCount() const { return m_tempo.size(); }

private:
    struct TempoSpan {
        std::int64_t tick = 0;
        std::int64_t usPerQuarter = 0;
        // Exact time of `tick` from the song start, in microseconds x division.
        std::int64_t scaledStart = 0;
    };

    void buildTempo(std::vector<TempoEvent> tempos);
    void buildMeter(std::vector<TimeSignatureEvent> signatures);
    const TempoSpan &tempoSpanAt(std::int64_t tick) const;
    const MeterSpan &meterSpanAtTick(std::int64_t tick) const;
    const MeterSpan &meterSpanOfBar(std::int64_t bar) const;

    int m_division;
    std::vector<TempoSpan> m_tempo; // never empty; the first at tick 0
    std::vector<MeterSpan> m_meter; // never empty; the first at tick 0, bar 1
};

} // namespace velkan
