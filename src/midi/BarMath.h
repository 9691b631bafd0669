#pragma once

#include "midi/MusicalPosition.h"
#include "midi/SongTimeline.h"

#include <cstdint>
#include <vector>

namespace velkan {

// Bar arithmetic on timing-line positions, with each bar as long as the song
// makes it: bars counted as the song's timeline counts them (a time signature
// takes effect at the first bar line at or after it), each bar_ticks x 48 /
// division steps long (rounded up: a step that reaches past the bar's last
// tick is the next bar's, as the player clamps it). Bars before bar 1 (bar 0,
// negative bars) have the length of bar 1. Without a song every bar has 192
// steps. Every tool that moves a @WAIT position goes through here.
//
// Positions are read as "bar start + step", so a step outside 0 .. length-1
// simply reaches into the neighbouring bars.
class BarMath {
public:
    static constexpr int kStepsPerQuarter = 48;
    static constexpr int kDefaultBarLength = 192;

    // nullptr: 192-step bars. The bar lengths are copied.
    explicit BarMath(const SongTimeline *timeline = nullptr);

    // Length of bar `bar` in steps.
    int barLength(std::int32_t bar) const;

    // Steps from the start of bar 1 to p (negative before it).
    std::int64_t absoluteStep(const MusicalPosition &p) const;
    // The normalised position (0 <= step < bar length) of an absolute step.
    MusicalPosition positionAt(std::int64_t absolute) const;

    // p moved by `steps` through bars of their real lengths; the result is
    // normalised. With 192-step bars this equals adding steps / 192 to the bar
    // and the remainder to the step, then carrying.
    MusicalPosition added(const MusicalPosition &p, std::int64_t steps) const;
    MusicalPosition subtracted(const MusicalPosition &p, std::int64_t steps) const;

    // Steps from `from` to `to` (negative when `to` comes first).
    std::int64_t stepsBetween(const MusicalPosition &from, const MusicalPosition &to) const;

    // One borrow, then one carry, as the timing offset does it: a step below 0
    // moves to the bar before and adds that bar's length; then a step at or past
    // the length of the bar it stands in moves on to the next bar, less that
    // length. A step further out stays out.
    MusicalPosition normalisedOnce(const MusicalPosition &p) const { return shiftedOnce(p, 0); }
    // `steps` added to p's step, then normalised once each way as above.
    MusicalPosition shiftedOnce(const MusicalPosition &p, std::int64_t steps) const;

    // A @WAIT with a bar below 1 hangs the player. A position before bar 1
    // step 0 is held at (1, 0), and `held` (optional) says so; a position at or
    // after it that names a bar below 1 (bar 0, step 200) is renamed to the same
    // moment counted from bar 1. Anything else comes back as it is.
    bool isBeforeStart(const MusicalPosition &p) const;
    MusicalPosition clampedToStart(const MusicalPosition &p, bool *held = nullptr) const;

private:
    struct Segment {
        std::int64_t startBar;
        std::int64_t absoluteStart; // steps from bar 1 to startBar
        int length;                 // steps per bar
    };
    const Segment &segmentOfBar(std::int64_t bar) const;
    std::int64_t barStart(std::int64_t bar) const;
    MusicalPosition makePosition(std::int64_t bar, std::int64_t step) const;

    std::vector<Segment> m_segments; // never empty, startBar ascending, first at 1
};

} // namespace velkan
