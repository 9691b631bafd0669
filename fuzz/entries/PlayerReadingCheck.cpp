#include "FuzzEntries.h"

#include "midi/SongTimeline.h"
#include "player/PlayerReading.h"
#include "player/PlayerScreen.h"
#include "script/ScriptLines.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace velkan::fuzz {

namespace {

unsigned char takeByte(std::string_view &in)
{
    if (in.empty())
        return 0;
    const auto b = static_cast<unsigned char>(in.front());
    in.remove_prefix(1);
    return b;
}

// A song's tempo and bars from the first bytes: any division, signatures
// anywhere (inside bars, unusable ones among them), tempo changes.
SongTimeline takeSong(std::string_view &in, std::vector<TimeSignatureEvent> &signatures)
{
    const int count = takeByte(in) % 6;
    const int division = 1 + takeByte(in) * 4;
    std::vector<TempoEvent> tempos;
    std::int64_t tick = 0;
    for (int i = 0; i < count; ++i) {
        tick += std::int64_t{takeByte(in)} * division / 2;
        const int numerator = takeByte(in);
        signatures.push_back({tick, numerator, takeByte(in) % 7});
        tempos.push_back({tick, 1u + takeByte(in) * 40000u});
    }
    return SongTimeline(division, std::move(tempos), signatures);
}

std::string screenCheck(const std::shared_ptr<const PlayerReading> &reading, std::size_t lines)
{
    // A short spacing, so that most moments are replayed from a checkpoint.
    const PlayerScreenTimeline timeline(reading, 8);
    const std::vector<PlayerEvent> &events = reading->events;

    // Moments spread over the song: before it, on a few events and the tick
    // before each, and past its end.
    std::vector<std::int64_t> ticks = {-1, 0, std::numeric_limits<std::int64_t>::max()};
    std::vector<std::size_t> atLines = {0, lines / 3, lines - 1, lines + 5};
    for (std::size_t k = 0; k < 5 && !events.empty(); ++k) {
        const PlayerEvent &e = events[events.size() * k / 5];
        ticks.push_back(e.tick);
        ticks.push_back(e.tick - 1);
        atLines.push_back(e.line);
        atLines.push_back(e.line + 1);
    }
    std::sort(ticks.begin(), ticks.end());
    std::sort(atLines.begin(), atLines.end());

    // One replay from the start for each list, compared on the way.
    PlayerScreen screen;
    std::size_t applied = 0;
    for (const std::int64_t tick : ticks) {
        for (; applied < events.size() && events[applied].tick <= tick; ++applied) {
            screen.apply(events[applied]);
            if (screen.cursorRow() < 0 || screen.cursorRow() >= kScreenRows ||
                screen.cursorColumn() < 0 || screen.cursorColumn() > kScreenColumns)
                return "the cursor left the screen after the event of line " +
                       std::to_string(events[applied].line);
        }
        if (!(timeline.at(tick) == screen))
            return "the timeline's screen at tick " + std::to_string(tick) +
                   " differs from the one replayed from the start";
    }
    screen = PlayerScreen();
    applied = 0;
    for (const std::size_t line : atLines) {
        for (; applied < events.size() && events[applied].line <= line; ++applied)
            screen.apply(events[applied]);
        if (!(timeline.atLine(line) == screen))
            return "the timeline's screen at line " + std::to_string(line) +
                   " differs from the one replayed from the start";
    }
    return {};
}

} // namespace

std::string checkPlayerReading(std::string_view bytes)
{
    std::string_view in = bytes;
    std::vector<TimeSignatureEvent> signatures;
    const SongTimeline song = takeSong(in, signatures);
    const std::int64_t songEnd = std::int64_t{takeByte(in)} * takeByte(in) * 97;
    const ScriptLines lines = ScriptLines::fromText(std::string(in));
    // Both ways the player may be given the song's meter.
    const std::vector<TimeSignatureEvent> *const ways[] = {nullptr, &signatures};
    for (const std::vector<TimeSignatureEvent> *kept : ways) {
        const auto shared =
            std::make_shared<const PlayerReading>(readAsPlayer(lines, &song, songEnd, kept));
        const PlayerReading &reading = *shared;
        // Every event costs bytes of the script: a fade's steps at the most
        // a dozen for its few bytes, so the events stay in proportion.
        if (reading.events.size() > 16 * bytes.size() + 64)
            return "more events than the script's bytes can make: " +
                   std::to_string(reading.events.size());
        std::int64_t last = 0;
        for (const PlayerEvent &e : reading.events) {
            if (e.tick < last)
                return "an event shown before the one before it, at line " + std::to_string(e.line);
            last = e.tick;
            if (e.line >= lines.size())
                return "an event from a line the script does not have: " + std::to_string(e.line);
            if (reading.hangsAtLine && e.line > *reading.hangsAtLine)
                return "an event read past the line where the player stops";
        }
        if (reading.hangsAtLine && *reading.hangsAtLine >= lines.size())
            return "the player stops at a line the script does not have";
        if (kept) {
            if (std::string broken = screenCheck(shared, lines.size()); !broken.empty())
                return broken;
        }
    }
    return {};
}

} // namespace velkan::fuzz
