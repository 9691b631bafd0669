#include "FuzzEntries.h"

#include "midi/SongTimeline.h"
#include "player/PlayerReading.h"
#include "script/ScriptLines.h"

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
        const PlayerReading reading = readAsPlayer(lines, &song, songEnd, kept);
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
    }
    return {};
}

} // namespace velkan::fuzz
