#pragma once

#include "midi/MusicalPosition.h"
#include "midi/WaitLine.h"
#include "script/ScriptList.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velkan {

// How the appear/erase dialog shows or wipes the lyric lines of a range.
enum class RevealMethod { AllAtOnce = 1, LineByLine = 2, CharByChar = 3 };

// One entry of the two timing lists: the pace code of the @WMODE line and the
// steps reckoned for one shown line or character.
struct RevealTimingChoice {
    std::string_view label; // UTF-8, as the list shows it
    int paceCode;           // 23, 11, 5, 2
    int unitSteps;          // 48, 24, 12, 6
};

inline constexpr int kRevealTimingChoiceCount = 4;
const std::array<RevealTimingChoice, kRevealTimingChoiceCount> &revealTimingChoices();
// The entry at a list index; an index outside the list counts as 0 (a quarter).
const RevealTimingChoice &revealTimingChoice(int index);

// The marker lines of the blocks, in Shift-JIS.
// "@---------出現開始-------------;"
inline constexpr std::string_view kAppearStartMarker =
    "@---------\x8Fo\x8C\xBB\x8AJ\x8En-------------;";
// "@----出現終了--" (the end timing follows on the same line)
inline constexpr std::string_view kAppearEndMarker = "@----\x8Fo\x8C\xBB\x8FI\x97\xB9--";
// "@-------消去開始----;"
inline constexpr std::string_view kEraseStartMarker = "@-------\x8F\xC1\x8B\x8E\x8AJ\x8En----;";
// "@----消去終了--" (the end timing follows on the same line)
inline constexpr std::string_view kEraseEndMarker = "@----\x8F\xC1\x8B\x8E\x8FI\x97\xB9--";
// Closes every block: back to line-by-line at a quarter note.
inline constexpr std::string_view kModeResetLine = "@WMODE(23,0);";

// The lines at `indexes` (ascending, as the list reports its selection), as
// views into `lines`. Indexes outside `lines` are skipped.
template <class Lines>
std::vector<std::string_view> selectedLines(const Lines &lines, std::span<const int> indexes)
{
    std::vector<std::string_view> selection;
    selection.reserve(indexes.size());
    for (int i : indexes) {
        if (i >= 0 && static_cast<std::size_t>(i) < lines.size())
            selection.emplace_back(lines[static_cast<std::size_t>(i)]);
    }
    return selection;
}

// Holds "@WAIT" anywhere (Shift-JIS aware).
bool isTimingLine(std::string_view line);
// The position of a timing line, read from where its "@WAIT" stands, so the
// end marker of an earlier block ("@----出現終了--@WAIT(12,48);") reads as the
// timing it carries. A line that begins "@WAIT(" reads exactly as
// readWaitPosition reads it.
MusicalPosition readTimingLine(std::string_view line);

// Steps a block takes to show: 0 all at once, lyric lines x unit line by line,
// bytes of the lyric lines (a trailing ';' included) x unit character by
// character.
std::int64_t revealDuration(std::span<const std::string_view> selection, int timingChoice,
                            RevealMethod method);

// "@WMODE(pace,0);", or "@WMODE(pace,1);" character by character.
ScriptLine modeLine(int timingChoice, RevealMethod method);

// The appear block: start marker, the start edit's text (an empty line when
// empty), the mode line, the @LOCATE lines of the range (each ending in one
// ';') and its lyric lines (a trailing ';' taken off, then one ';' added
// except line by line), "@WMODE(23,0);", and the end marker followed by the
// end edit's text. Every selected line takes part.
std::vector<ScriptLine> appearBlock(std::span<const std::string_view> selection,
                                    RevealMethod method, int timingChoice,
                                    std::string_view startEdit, std::string_view endEdit);
// The erase block: as the appear block, with one space per byte of each lyric
// line (its ';' included) in place of the text.
std::vector<ScriptLine> eraseBlock(std::span<const std::string_view> selection, RevealMethod method,
                                   int timingChoice, std::string_view startEdit,
                                   std::string_view endEdit);

// Where a block goes: the appear block before the first selected line, the
// erase block after the last. Nothing with no line selected.
std::optional<int> appearInsertionIndex(std::span<const int> selectedIndexes);
std::optional<int> eraseInsertionIndex(std::span<const int> selectedIndexes);

} // namespace velkan
