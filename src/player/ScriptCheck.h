#pragma once

#include "midi/SongTimeline.h"
#include "script/ScriptLines.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// One thing in a script that a WRD player reads otherwise than its writer
// most likely meant.
struct Finding {
    std::size_t line = 0; // from 0
    std::string code;     // "E01", "W02", ...
    std::string message;  // Japanese, UTF-8
    friend bool operator==(const Finding &, const Finding &) = default;
};

// The message for a code; empty for a code this check does not give.
std::string_view findingMessage(std::string_view code);

// Checks a script as the player reads it beside a song (null: 4/4, the
// song's end unknown). `songEndTick` and `signatures` as readAsPlayer takes
// them. At most one finding per line and code, by line, then code.
std::vector<Finding> checkScript(const std::vector<std::string_view> &lines,
                                 const SongTimeline *song, std::int64_t songEndTick = 0,
                                 const std::vector<TimeSignatureEvent> *signatures = nullptr);
std::vector<Finding> checkScript(const ScriptLines &lines, const SongTimeline *song,
                                 std::int64_t songEndTick = 0,
                                 const std::vector<TimeSignatureEvent> *signatures = nullptr);

} // namespace velkan
