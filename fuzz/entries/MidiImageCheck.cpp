#include "FuzzEntries.h"

#include "midi/BeatClock.h"
#include "midi/KaraokeLyrics.h"
#include "midi/LyricFollow.h"
#include "midi/MidiBytes.h"
#include "midi/MidiReader.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

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

// The ticks worth looking at: the start, the meter changes, the song's end
// and a spread in between, each with its neighbours.
std::vector<std::int64_t> probeTicks(const SongTimeline &t, std::int64_t end)
{
    std::vector<std::int64_t> ticks = {SongTimeline::kLastTick, SongTimeline::kLastTick + 1};
    for (const SongTimeline::MeterSpan &s : t.meterSpans())
        ticks.push_back(s.startTick);
    ticks.push_back(end);
    const std::int64_t step = std::max<std::int64_t>(1, end / 64);
    for (std::int64_t k = 0; k <= 64; ++k)
        ticks.push_back(k * step);
    std::vector<std::int64_t> withNeighbours;
    for (const std::int64_t tick : ticks)
        for (const std::int64_t d : {-1, 0, 1})
            if (tick + d >= 0)
                withNeighbours.push_back(tick + d);
    return withNeighbours;
}

// Time runs forwards and reads back; every tick lies in its bar and beat.
std::string checkTicks(const SongTimeline &t, std::int64_t tick)
{
    const std::string at = " at tick " + std::to_string(tick);
    const std::int64_t nanos = t.nanosAt(tick);
    const std::int64_t next = t.nanosAt(tick + 1);
    if (next < nanos)
        return "time ran backwards" + at;
    // A tick of a nanosecond or less can share its moment with the next one.
    if (next - nanos > 1 && t.tickAt(nanos) != tick)
        return "a tick's moment read back as tick " + std::to_string(t.tickAt(nanos)) + at;

    const BarPlace bar = t.barAt(tick);
    if (bar.bar < 1 || bar.ticks < 1 || bar.startTick > tick || tick >= bar.startTick + bar.ticks)
        return "a tick outside its bar" + at;
    const BeatPlace beat = t.beatAt(tick);
    if (beat.bar != bar.bar || beat.beat < 1 || beat.startTick < bar.startTick ||
        beat.startTick > tick || tick >= beat.endTick || beat.endTick > bar.startTick + bar.ticks)
        return "a beat outside its bar" + at;
    const MusicalPosition p = t.positionAt(tick);
    if (p.bar != bar.bar || p.step < 0)
        return "a position that is not the tick's" + at;
    // Past 2^31 bars the bar number saturates and names another bar.
    if (bar.bar < std::numeric_limits<std::int32_t>::max() &&
        (t.tickOf(p) > tick || t.tickOf(p) < bar.startTick))
        return "a position that waits for another tick" + at;
    return {};
}

// Bar lines read back as the bars they start, around every meter change.
std::string checkBars(const SongTimeline &t, std::int32_t lastBar)
{
    std::vector<std::int64_t> bars = {1, 2, lastBar, lastBar + std::int64_t{1}};
    for (const SongTimeline::MeterSpan &s : t.meterSpans())
        for (const std::int64_t d : {-1, 0, 1})
            bars.push_back(s.firstBar + d);
    for (const std::int64_t bar : bars) {
        // Bar numbers past 32 bits and bar lines past any playable tick saturate.
        if (bar < 1 || bar >= std::numeric_limits<std::int32_t>::max() ||
            t.barStart(bar) > SongTimeline::kLastTick * 2)
            continue;
        if (t.barAt(t.barStart(bar)).bar != bar)
            return "bar " + std::to_string(bar) + "'s line is not in it";
        if (t.barStart(bar + 1) <= t.barStart(bar))
            return "bar " + std::to_string(bar) + " has no length";
    }
    return {};
}

// The clock as Start from the top, the beat timer and a resume use it.
std::string checkClock(const std::shared_ptr<const SongTimeline> &t, std::int32_t length)
{
    for (const std::int32_t position : {0, 1, length / 2, length - 1, length}) {
        if (position < 0 || position > length)
            continue;
        const ResumePlan plan = resumePlan(*t, position);
        if (plan.seekPosition < 0 || plan.seekPosition > position ||
            plan.startTick != t->tickOfSixteenth(plan.seekPosition))
            return "resume plan outside the song at " + std::to_string(position);
    }

    BeatClock clock;
    clock.setTimeline(t);
    clock.runFrom(0, 0, length);
    const std::int64_t end = clock.endTick();
    if (end < 1 || t->barAt(end).startTick != end || t->sixteenthOf(end) < length)
        return "the run ends off a bar line or before the song's end";
    std::int64_t tick = 0;
    std::int32_t bar = 1;
    for (int i = 0; i < 4096; ++i) {
        const BeatStart start = beatStarting(clock, tick);
        if (start.beat.startTick != tick || start.beat.bar < bar)
            return "a beat went backwards at tick " + std::to_string(tick);
        bar = start.beat.bar;
        if (start.barChanged && start.thumbPosition != t->sixteenthOf(tick))
            return "the thumb left the clock at tick " + std::to_string(tick);
        // A press at the very moment a beat starts stamps that beat.
        const std::int64_t at = clock.nanosOf(tick);
        if (t->nanosAt(tick + 1) - at > 1 &&
            lyricFollowLine(clock, at) != lyricFollowLine(BarBeat{start.beat.bar, start.beat.beat}))
            return "a press at a beat's start stamped another at tick " + std::to_string(tick);
        if (start.songEnded != (tick >= end))
            return "the song ended off its end at tick " + std::to_string(tick);
        if (start.songEnded)
            break;
        tick = start.beat.endTick;
    }
    return {};
}

std::string checkTimeline(const SongTimeline &timeline, std::int32_t length)
{
    const auto shared = std::make_shared<const SongTimeline>(timeline);
    const std::int64_t end = songEndTick(timeline, 0, length);
    for (const std::int64_t tick : probeTicks(timeline, end))
        if (std::string broken = checkTicks(timeline, tick); !broken.empty())
            return broken;
    if (std::string broken = checkBars(timeline, timeline.barAt(end).bar); !broken.empty())
        return broken;
    return checkClock(shared, length);
}

// Lyric lines are whole script lines in tick order, made of the image's bytes,
// each after the wait for a tick not later than its own.
std::string checkKaraoke(std::string_view image, const SongTimeline &timeline)
{
    const std::vector<KaraokeLine> lines = karaokeLines(image);
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const KaraokeLine &line = lines[i];
        bytes += line.text.size();
        if (line.text.empty() || line.text.find_first_of("\r\n\x1A") != std::string::npos)
            return "lyric line " + std::to_string(i) + " is no script line";
        if (line.tick < 0 || line.tick > SongTimeline::kLastTick ||
            (i > 0 && line.tick < lines[i - 1].tick))
            return "lyric line " + std::to_string(i) + " out of tick order";
    }
    if (bytes > image.size())
        return "lyric lines hold more bytes than the image";
    const std::optional<std::vector<ScriptLine>> script = scriptFromKaraoke(image, timeline);
    if (script.has_value() == lines.empty())
        return "a lyrics script without lyrics, or lyrics without one";
    if (!script)
        return {};
    if (script->size() != 2 * lines.size() + 5 || script->back() != "@END();")
        return "a lyrics script that is not header, wait and line pairs, and its end";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const MusicalPosition at = timeline.positionAt(lines[i].tick);
        if ((*script)[4 + 2 * i] != formatWait(at) || (*script)[5 + 2 * i] != lines[i].text)
            return "lyric line " + std::to_string(i) + " is not after its wait";
        if (at.bar < std::numeric_limits<std::int32_t>::max() &&
            timeline.tickOf(at) > lines[i].tick)
            return "lyric line " + std::to_string(i) + " waits past its tick";
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
    // Both need a header with ticks a quarter.
    if (read.timeline.has_value() != length.has_value())
        return "a timeline without a song length, or the other way round";
    if (!read.timeline)
        return {};
    if (std::string broken = checkKaraoke(bytes, *read.timeline); !broken.empty())
        return broken;
    return checkTimeline(*read.timeline, *length);
}

} // namespace velkan::fuzz
