#include "midi/BeatClock.h"

#include <algorithm>
#include <limits>

namespace velkan {

namespace {

// Moments far outside any song (a tool asked about year 2300) must not wrap.
std::int64_t saturatedSum(std::int64_t a, std::int64_t b)
{
    std::int64_t sum;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

} // namespace

void BeatClock::setTimeline(std::shared_ptr<const SongTimeline> timeline)
{
    m_timeline = std::move(timeline);
    m_running = false;
    m_tick = 0;
}

std::int32_t BeatClock::locate(std::int64_t tick)
{
    m_running = false;
    m_tick = std::max<std::int64_t>(tick, 0);
    return m_timeline ? m_timeline->barAt(m_tick).bar - 1 : 0;
}

void BeatClock::runFrom(std::int64_t tick, std::int64_t atNanos, std::int32_t songLength)
{
    locate(tick);
    if (!m_timeline)
        return;
    m_running = true;
    m_startNanos = atNanos;
    m_songNanos = m_timeline->nanosAt(m_tick);
    m_endTick = songEndTick(*m_timeline, m_tick, songLength);
}

void BeatClock::holdAt(std::int64_t nowNanos)
{
    locate(tickAt(nowNanos));
}

std::int64_t BeatClock::tickAt(std::int64_t nowNanos) const
{
    if (!m_running)
        return m_tick;
    if (nowNanos <= m_startNanos)
        return m_tick;
    const std::int64_t tick =
        m_timeline->tickAt(saturatedSum(m_songNanos, saturatedSum(nowNanos, -m_startNanos)));
    return std::clamp(tick, m_tick, std::max(m_tick, m_endTick));
}

BeatPlace BeatClock::beatAt(std::int64_t nowNanos) const
{
    if (!m_timeline)
        return {};
    return m_timeline->beatAt(tickAt(nowNanos));
}

std::int64_t BeatClock::nanosOf(std::int64_t tick) const
{
    if (!m_timeline)
        return m_startNanos;
    return saturatedSum(m_startNanos, m_timeline->nanosAt(tick) - m_songNanos);
}

BeatStart beatStarting(const BeatClock &clock, std::int64_t beatTick)
{
    BeatStart start;
    const SongTimeline *timeline = clock.timeline();
    if (!timeline)
        return start;
    start.beat = timeline->beatAt(beatTick);
    start.barChanged = start.beat.beat == 1 && start.beat.startTick == beatTick;
    if (start.barChanged)
        start.thumbPosition = timeline->sixteenthOf(beatTick);
    start.songEnded = clock.isRunning() && beatTick >= clock.endTick();
    return start;
}

std::int64_t songEndTick(const SongTimeline &timeline, std::int64_t from, std::int32_t songLength)
{
    // The first tick whose sixteenth is not below the length.
    const std::int64_t length = std::max<std::int64_t>(songLength, 0);
    const std::int64_t atLength = (length * timeline.division() + 3) / 4;
    const std::int64_t candidate = std::max(atLength, from + 1);
    const BarPlace bar = timeline.barAt(candidate);
    return bar.startTick == candidate ? candidate : bar.startTick + bar.ticks;
}

ResumePlan resumePlan(const SongTimeline &timeline, std::int32_t devicePosition)
{
    const std::int64_t tick = timeline.tickOfSixteenth(std::max(devicePosition, 0));
    const BeatPlace beat = timeline.beatAt(tick);
    // The first sixteenth at or after the beat's start, so that playback never
    // starts in the beat before; a beat shorter than a sixteenth takes the one
    // before it.
    std::int32_t seek = timeline.sixteenthOf(beat.startTick);
    if (timeline.tickOfSixteenth(seek) < beat.startTick &&
        timeline.tickOfSixteenth(seek + 1) < beat.endTick)
        ++seek;
    return {seek, timeline.tickOfSixteenth(seek)};
}

} // namespace velkan
