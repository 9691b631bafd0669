#pragma once

#include "midi/BarMath.h"
#include "script/ScriptList.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace velkan {

// One choice of the timing offset dialog: its radio button and the shift.
struct TimingOffsetChoice {
    int choice;             // 1 .. 6
    int controlId;          // 1047 .. 1052
    std::string_view label; // UTF-8, as the radio button shows it
    int steps;              // -48, -24, -12, +12, +24, +48
};

inline constexpr int kTimingOffsetChoiceCount = 6;
const std::array<TimingOffsetChoice, kTimingOffsetChoiceCount> &timingOffsetChoices();

// Steps for choice 1 .. 6; 0 for any other number.
int timingOffsetSteps(int choice);

// The line shifted by `steps`, or nothing when it is not a @WAIT line
// (isWaitLine). The
// position is read by readWaitPosition, moved once each way through bars of
// their real lengths, and held at bar 1 step 0 when it would come before it
// (`heldAtStart` says so). Whatever followed the first ')' of the line is kept,
// less one ';' directly after it: "@WAIT(12,96);@COLOR(32);" +12 gives
// "@WAIT(12,108);@COLOR(32);". A line without ')' keeps nothing after the
// new "@WAIT(bar,step);".
std::optional<ScriptLine> shiftedWaitLine(std::string_view line, int steps, const BarMath &bars,
                                          bool *heldAtStart = nullptr);

struct TimingOffsetResult {
    int shifted = 0;     // lines rewritten
    int heldAtStart = 0; // of those, lines written as "@WAIT(1,0);" to stay playable
    friend bool operator==(const TimingOffsetResult &, const TimingOffsetResult &) = default;
};

// Rewrites every target line of `lines` in place.
TimingOffsetResult applyTimingOffset(std::vector<ScriptLine> &lines, int steps,
                                     const BarMath &bars);

} // namespace velkan
