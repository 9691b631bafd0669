#include "FuzzEntries.h"

#include "midi/BeatClock.h"
#include "midi/MidiBytes.h"
#include "midi/MidiReader.h"

#include <string>

namespace velkan::fuzz {

namespace {

bool inside(std::string_view part, std::string_view whole)
{
    if (part.empty())
        return true;
    const auto *b = whole.data();
    return part.data() >= b && part.data() + part.size() <= b + whole.size();
}

std::string checkTables(const MidiReadResult &read)
{
    const SongTiming &t = read.timing;
    if (!read.ok())
        return "an image read failed: only files can fail";
    if (read.lines.size() != static_cast<std::size_t>(t.tempo.count() + t.meter.count()))
        return "one information line per recorded change";
    if (t.tempo.count() > TempoMap::capacity || t.meter.count() > MeterMap::capacity)
        return "a table grew past its capacity";
    for (int i = 0; i < t.tempo.count(); ++i) {
        const TempoChange &c = t.tempo[i];
        if (c.usPerQuarter <= 0 || c.msPerQuarter < 0 || c.quarter < 0)
            return "tempo entry " + std::to_string(i) + " is not playable";
        if (i > 0 && c.quarter < t.tempo[i - 1].quarter)
            return "tempo entries out of file order";
    }
    for (int i = 0; i < t.meter.count(); ++i) {
        const MeterChange &c = t.meter[i];
        if (c.quartersPerBar <= 0 || c.quarter < 0)
            return "meter entry " + std::to_string(i) + " has no beats";
        if (i > 0 && c.quarter < t.meter[i - 1].quarter)
            return "meter entries out of file order";
    }
    return {};
}

// Runs the clock over the start of the song and at its end, as Start, a drag
// to the end and a resume there do.
std::string checkClock(SongTiming timing, std::int32_t length)
{
    BeatClock clock;
    locatePosition(clock, timing, length / 4);
    if (clock.bar < 1 || clock.beat < 1)
        return "located before bar 1 beat 1";
    const ResumePlan plan = resumeAt(clock, timing, length);
    if (plan.seekPosition < 0 || plan.seekPosition > length || plan.periodUs < kMinPeriodUs)
        return "resume plan outside the song";

    const std::int64_t first = startFromTop(clock, timing);
    if (first < kMinPeriodUs)
        return "first period below the minimum";
    for (int i = 0; i < 4096; ++i) {
        const BeatClock before = clock;
        const TickResult r = tickBeatClock(clock, timing, length);
        if (r.bar < 1 || r.beat < 1 || clock.quarterTick != before.quarterTick + 1)
            return "a tick went backwards";
        if (r.periodChanged && r.newPeriodUs < kMinPeriodUs)
            return "a tick set a period below the minimum";
        if (r.barChanged && r.thumbPosition != clock.quarterTick * 4)
            return "the thumb left the clock";
        if (r.songEnded)
            break;
    }
    return {};
}

} // namespace

std::string checkMidiImage(std::string_view bytes)
{
    const std::string_view smf = unwrapRmid(bytes);
    if (!inside(smf, bytes))
        return "RMID unwrapping left the image";

    const MidiReadResult read = readMidiImage(bytes);
    if (std::string broken = checkTables(read); !broken.empty())
        return broken;

    const std::optional<std::int32_t> length = songLengthSixteenths(smf);
    if (length && *length < 0)
        return "negative song length";
    return checkClock(read.timing, length.value_or(0));
}

} // namespace velkan::fuzz
