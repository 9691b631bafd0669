#include "aids/core/LyricReveal.h"

#include "midi/WaitLine.h"
#include "script/ShiftJisText.h"

#include <algorithm>

namespace velkan {

const std::array<RevealTimingChoice, kRevealTimingChoiceCount> &revealTimingChoices()
{
    static const std::array<RevealTimingChoice, kRevealTimingChoiceCount> kChoices{{
        {"四分音符", 23, 48},
        {"八分音符", 11, 24},
        {"十六分音符", 5, 12},
        {"三十二分音符", 2, 6},
    }};
    return kChoices;
}

const RevealTimingChoice &revealTimingChoice(int index)
{
    if (index < 0 || index >= kRevealTimingChoiceCount)
        index = 0;
    return revealTimingChoices()[static_cast<std::size_t>(index)];
}

bool isTimingLine(std::string_view line)
{
    return containsShiftJis(line, "@WAIT");
}

MusicalPosition readTimingLine(std::string_view line)
{
    const std::size_t at = findShiftJis(line, "@WAIT");
    return readWaitPosition(at == std::string_view::npos ? line : line.substr(at));
}

std::int64_t revealDuration(std::span<const std::string_view> selection, int timingChoice,
                            RevealMethod method)
{
    std::int64_t lines = 0;
    std::int64_t bytes = 0;
    for (std::string_view line : selection) {
        if (isLyricLine(line)) {
            ++lines;
            bytes += static_cast<std::int64_t>(line.size());
        }
    }
    const int unit = revealTimingChoice(timingChoice).unitSteps;
    switch (method) {
    case RevealMethod::LineByLine:
        return lines * unit;
    case RevealMethod::CharByChar:
        return bytes * unit;
    case RevealMethod::AllAtOnce:
        break;
    }
    return 0;
}

ScriptLine modeLine(int timingChoice, RevealMethod method)
{
    return "@WMODE(" + std::to_string(revealTimingChoice(timingChoice).paceCode) +
           (method == RevealMethod::CharByChar ? ",1);" : ",0);");
}

namespace {

// Line by line the player advances at each line end; the other methods hold
// the lines with a trailing ';'.
std::string_view lyricEnding(RevealMethod method)
{
    return method == RevealMethod::LineByLine ? std::string_view{} : std::string_view{";"};
}

// A @LOCATE line of the range, with one ';' ensured; nothing for any other
// command line.
std::optional<ScriptLine> keptCommandLine(std::string_view line)
{
    if (!containsShiftJis(line, "@LOCATE"))
        return std::nullopt;
    ScriptLine kept(line);
    if (kept.back() != ';')
        kept += ';';
    return kept;
}

template <typename LyricFn>
std::vector<ScriptLine> buildBlock(std::span<const std::string_view> selection, RevealMethod method,
                                   int timingChoice, std::string_view startMarker,
                                   std::string_view startEdit, std::string_view endMarker,
                                   std::string_view endEdit, LyricFn lyric)
{
    std::vector<ScriptLine> block;
    block.reserve(selection.size() + 5);
    block.emplace_back(startMarker);
    block.emplace_back(startEdit);
    block.push_back(modeLine(timingChoice, method));
    for (std::string_view line : selection) {
        if (line.empty())
            continue;
        if (line.front() == '@') {
            if (auto kept = keptCommandLine(line))
                block.push_back(std::move(*kept));
            continue;
        }
        block.push_back(lyric(line));
    }
    block.emplace_back(kModeResetLine);
    ScriptLine end(endMarker);
    end += endEdit;
    block.push_back(std::move(end));
    return block;
}

} // namespace

std::vector<ScriptLine> appearBlock(std::span<const std::string_view> selection,
                                    RevealMethod method, int timingChoice,
                                    std::string_view startEdit, std::string_view endEdit)
{
    const std::string_view ending = lyricEnding(method);
    return buildBlock(selection, method, timingChoice, kAppearStartMarker, startEdit,
                      kAppearEndMarker, endEdit, [ending](std::string_view line) {
                          if (line.back() == ';')
                              line.remove_suffix(1);
                          ScriptLine text(line);
                          text += ending;
                          return text;
                      });
}

std::vector<ScriptLine> eraseBlock(std::span<const std::string_view> selection, RevealMethod method,
                                   int timingChoice, std::string_view startEdit,
                                   std::string_view endEdit)
{
    const std::string_view ending = lyricEnding(method);
    return buildBlock(selection, method, timingChoice, kEraseStartMarker, startEdit,
                      kEraseEndMarker, endEdit, [ending](std::string_view line) {
                          ScriptLine spaces(line.size(), ' ');
                          spaces += ending;
                          return spaces;
                      });
}

std::optional<int> appearInsertionIndex(std::span<const int> selectedIndexes)
{
    if (selectedIndexes.empty())
        return std::nullopt;
    return *std::min_element(selectedIndexes.begin(), selectedIndexes.end());
}

std::optional<int> eraseInsertionIndex(std::span<const int> selectedIndexes)
{
    if (selectedIndexes.empty())
        return std::nullopt;
    return *std::max_element(selectedIndexes.begin(), selectedIndexes.end()) + 1;
}

} // namespace velkan
