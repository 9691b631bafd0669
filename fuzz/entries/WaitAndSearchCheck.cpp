#include "FuzzEntries.h"

#include "aids/core/LyricReveal.h"
#include "aids/core/RevealTiming.h"
#include "aids/core/TimingOffset.h"
#include "midi/BarMath.h"
#include "midi/SongTimeline.h"
#include "midi/WaitLine.h"
#include "script/ScriptFile.h"
#include "script/ShiftJisText.h"

#include <vector>

namespace velkan::fuzz {

namespace {

// Takes n bytes off the front (fewer when the input is shorter).
std::string_view take(std::string_view &in, std::size_t n)
{
    n = std::min(n, in.size());
    const std::string_view head = in.substr(0, n);
    in.remove_prefix(n);
    return head;
}

unsigned char takeByte(std::string_view &in)
{
    const std::string_view b = take(in, 1);
    return b.empty() ? 0 : static_cast<unsigned char>(b[0]);
}

// A song's bars from the bytes: any division (odd ones too), time signatures
// anywhere, inside bars, of any numerator and denominator, unusable ones
// among them.
SongTimeline takeTimeline(std::string_view &in)
{
    const int count = takeByte(in) % 6;
    const int division = 1 + takeByte(in) * 4;
    std::vector<TimeSignatureEvent> signatures;
    std::int64_t tick = 0;
    for (int i = 0; i < count; ++i) {
        tick += std::int64_t{takeByte(in)} * division / 2;
        const int numerator = takeByte(in);
        signatures.push_back({tick, numerator, takeByte(in) % 7});
    }
    return SongTimeline(division, {}, std::move(signatures));
}

// BarMath's bars are the player's: a bar's last step waits inside it, the
// step after it at the next bar line.
std::string checkBarsAgainstTimeline(const BarMath &bars, const SongTimeline &timeline)
{
    for (std::int32_t bar = 1; bar <= 64; ++bar) {
        const int length = bars.barLength(bar);
        if (length < 1)
            return "bar " + std::to_string(bar) + " has no steps";
        if (timeline.barAt(timeline.tickOf({bar, length - 1})).bar != bar ||
            timeline.barAt(timeline.tickOf({bar, length})).bar != bar + 1)
            return "bar " + std::to_string(bar) + " is not as long as the player's";
    }
    return {};
}

// The search written the slow way: every character boundary, front to back.
std::size_t naiveFind(std::string_view text, std::string_view needle)
{
    for (std::size_t i = 0; i < text.size();
         i += isShiftJisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1) {
        if (text.substr(i).starts_with(needle))
            return i;
    }
    return needle.empty() && text.empty() ? 0 : std::string_view::npos;
}

std::string checkWaitRoundTrip(std::int32_t bar, std::int32_t step, std::string_view tail)
{
    const MusicalPosition p{bar, step};
    std::string line = formatWait(p);
    // The reader looks for the comma and the bracket in the first 15 bytes.
    if (line.find(')') < 15 && readWaitPosition(line + std::string(tail)) != p)
        return "a written @WAIT did not read back: " + line;
    return {};
}

std::string checkShifts(const std::vector<ScriptLine> &lines, const BarMath &bars)
{
    for (const ScriptLine &line : lines) {
        for (int choice = 1; choice <= kTimingOffsetChoiceCount; ++choice) {
            const auto shifted = shiftedWaitLine(line, timingOffsetSteps(choice), bars);
            if (shifted.has_value() != isWaitLine(line))
                return "the offset rewrote a line that is no target, or missed one";
            if (!shifted)
                continue;
            if (!shifted->starts_with("@WAIT("))
                return "a shifted line lost its @WAIT(";
            if (bars.isBeforeStart(readWaitPosition(*shifted)))
                return "a shifted line stands before bar 1: " + *shifted;
        }
    }
    std::vector<ScriptLine> copy = lines;
    const TimingOffsetResult r = applyTimingOffset(copy, 12, bars);
    if (copy.size() != lines.size() || r.heldAtStart > r.shifted)
        return "the timing offset changed the number of lines";
    return {};
}

std::string checkReveal(const std::vector<ScriptLine> &lines, std::string_view edit,
                        const BarMath &bars)
{
    std::vector<std::string_view> selection(lines.begin(), lines.end());
    for (int method = 1; method <= 3; ++method) {
        const auto m = static_cast<RevealMethod>(method);
        for (const RevealEdits &edits : {RevealEdits{std::string(edit), {}}, RevealEdits{{}, {}}}) {
            for (const auto &r : {appearTiming(selection, edits, m, method, {}, bars),
                                  eraseTiming(selection, edits, m, method, {}, bars)}) {
                if (!r.changed)
                    continue;
                if (bars.isBeforeStart(readWaitPosition(r.edits.start)) ||
                    bars.isBeforeStart(readWaitPosition(r.edits.end)))
                    return "a reveal timing before bar 1: " + r.edits.start + " " + r.edits.end;
            }
        }
        const auto appear = appearBlock(selection, m, method, edit, edit);
        const auto erase = eraseBlock(selection, m, method, edit, edit);
        if (appear.size() < 5 || erase.size() != appear.size())
            return "appear and erase blocks of different lengths";
    }
    return {};
}

} // namespace

std::string checkWaitAndSearch(std::string_view bytes)
{
    std::string_view in = bytes;
    const SongTimeline timeline = takeTimeline(in);
    const BarMath bars(&timeline);
    if (std::string broken = checkBarsAgainstTimeline(bars, timeline); !broken.empty())
        return broken;
    const std::string_view needle = take(in, takeByte(in) % 8);
    const std::string_view text = in;

    const std::size_t found = findShiftJis(text, needle);
    if (found != naiveFind(text, needle))
        return "the Shift-JIS search found " + std::to_string(found) + ", not " +
               std::to_string(naiveFind(text, needle));

    const MusicalPosition read = readWaitPosition(text);
    if (std::string broken = checkWaitRoundTrip(read.bar, read.step, text); !broken.empty())
        return broken;
    if (isTimingLine(text) != (findShiftJis(text, "@WAIT") != std::string_view::npos))
        return "isTimingLine disagrees with the search";
    if (text.starts_with("@WAIT(") && readTimingLine(text) != read)
        return "a line that begins @WAIT( read differently as a timing line";

    // Keep the work per input bounded: a few hundred lines is plenty.
    std::vector<ScriptLine> lines = splitScriptText(text).toVector();
    if (lines.size() > 256)
        lines.resize(256);
    if (std::string broken = checkShifts(lines, bars); !broken.empty())
        return broken;
    return checkReveal(lines, needle, bars);
}

} // namespace velkan::fuzz
