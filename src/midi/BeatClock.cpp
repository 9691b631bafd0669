#include "midi/BeatClock.h"

#include <algorithm>
#include <limits>

namespace velkan {

namespace {

// A hand-built table could hold a zero bar; never divide by it.
std::int64_t barLength(const MeterChange &m)
{
    return m.quartersPerBar > 0 ? m.quartersPerBar : kDefaultMeter.quartersPerBar;
}

std::int32_t clampToInt32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Index of the first entry whose quarter lies beyond q, or count.
template <typename Table> int firstAfter(const Table &table, int q)
{
    int i = 0;
    while (i < table.count() && table[i].quarter <= q)
        ++i;
    return i;
}

} // namespace

std::int64_t periodUs(const TempoChange &change)
{
    const std::int64_t us = change.usPerQuarter > 0 ? std::int64_t{change.usPerQuarter}
                                                    : std::int64_t{change.msPerQuarter} * 1000;
    return std::max(us, kMinPeriodUs);
}

std::int64_t periodUsAt(const TempoMap &tempo, int i)
{
    if (tempo.isEmpty())
        return kDefaultPeriodUs;
    return periodUs(tempo[std::clamp(i, 0, tempo.count() - 1)]);
}

int locatePosition(BeatClock &clock, const SongTiming &timing, int q)
{
    MeterMap fallback;
    fallback.append(kDefaultMeter);
    const MeterMap &meter = timing.meter.isEmpty() ? fallback : timing.meter;

    const int next = firstAfter(meter, q);
    clock.meterPending = next < meter.count() ? 1 : 0;
    const int k = std::max(next - 1, 0);

    // The first meter holds from the song start wherever its event stands,
    // so a q before it still gets a bar from 1 and a beat from 1.
    const auto startOf = [&meter](int j) -> std::int64_t { return j == 0 ? 0 : meter[j].quarter; };
    std::int64_t completed = 0;
    for (int j = 0; j < k; ++j)
        completed += (startOf(j + 1) - startOf(j)) / barLength(meter[j]);
    const std::int64_t intoMeter = std::int64_t{q} - startOf(k);
    completed += intoMeter / barLength(meter[k]);

    clock.bar = clampToInt32(completed + 1);
    clock.beat = clampToInt32(intoMeter % barLength(meter[k]) + 1);
    clock.quarterTick = q;
    clock.meterCursor = k;

    const int nextTempo = firstAfter(timing.tempo, q);
    clock.tempoPending = nextTempo < timing.tempo.count() ? 1 : 0;
    clock.tempoCursor = std::max(nextTempo - 1, 0);
    return clampToInt32(completed);
}

std::int64_t startFromTop(BeatClock &clock, SongTiming &timing)
{
    clock = BeatClock{};
    clock.bar = 1;
    clock.beat = 1;
    clock.meterPending = 1;
    // An empty table keeps its old entries behind the count: nothing to apply.
    clock.tempoPending = timing.tempo.isEmpty() ? 0 : 1;
    if (timing.meter.isEmpty()) {
        timing.meter.append(kDefaultMeter);
        clock.meterPending = 0;
    }
    clock.beatsPerBar = static_cast<std::int32_t>(barLength(timing.meter[0]));
    clock.periodUs = periodUsAt(timing.tempo, 0);
    return clock.periodUs;
}

ResumePlan resumeAt(BeatClock &clock, const SongTiming &timing, std::int32_t devicePosition)
{
    locatePosition(clock, timing, std::max(devicePosition, 0) / 4);
    clock.beatsPerBar = timing.meter.isEmpty()
                            ? kDefaultMeter.quartersPerBar
                            : static_cast<std::int32_t>(barLength(timing.meter[clock.meterCursor]));
    clock.periodUs = periodUsAt(timing.tempo, clock.tempoCursor);
    return {resumePosition(clock), clock.periodUs};
}

std::int32_t resumePosition(const BeatClock &clock)
{
    return clampToInt32(std::int64_t{clock.quarterTick} * 4);
}

TickResult tickBeatClock(BeatClock &clock, const SongTiming &timing, std::int32_t songLength)
{
    TickResult result;
    clock.quarterTick += 1;
    clock.beat += 1;
    if (clock.beat > clock.beatsPerBar) {
        clock.beat = 1;
        clock.bar += 1;
        result.barChanged = true;
        // Positions count the quarters really played, whatever the meter.
        const std::int64_t position = std::int64_t{clock.quarterTick} * 4;
        result.thumbPosition = clampToInt32(position);
        result.songEnded = position >= songLength;
    }

    const MeterMap &meter = timing.meter;
    if (clock.meterPending && clock.meterCursor < meter.count() &&
        meter[clock.meterCursor].quarter <= clock.quarterTick) {
        clock.meterCursor += 1;
        if (clock.meterCursor >= meter.count())
            clock.meterPending = 0;
        clock.beatsPerBar = static_cast<std::int32_t>(barLength(meter[clock.meterCursor - 1]));
    }

    const TempoMap &tempo = timing.tempo;
    if (clock.tempoPending && clock.tempoCursor < tempo.count() &&
        tempo[clock.tempoCursor].quarter <= clock.quarterTick) {
        clock.tempoCursor += 1;
        if (clock.tempoCursor >= tempo.count())
            clock.tempoPending = 0;
        const TempoChange &change = tempo[clock.tempoCursor - 1];
        if (!result.songEnded && periodUs(change) != clock.periodUs) {
            clock.periodUs = periodUs(change);
            result.periodChanged = true;
            result.newPeriodUs = clock.periodUs;
            result.msPerQuarter = change.msPerQuarter;
        }
    }

    result.bar = clock.bar;
    result.beat = clock.beat;
    return result;
}

} // namespace velkan
