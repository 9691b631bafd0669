#include "midi/BeatClock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velkan {

namespace {

// Song times at a speed: nanoseconds x millionths outgrow 64 bits.
__extension__ typedef __int128 Wide;

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

std::int64_t saturated(Wide v)
{
    return v > kInt64Max ? kInt64Max : v < kInt64Min ? kInt64Min : static_cast<std::int64_t>(v);
}

Wide floorDiv(Wide a, Wide b) // b > 0
{
    const Wide q = a / b;
    return a % b != 0 && a < 0 ? q - 1 : q;
}

Wide ceilDiv(Wide a, Wide b) // b > 0
{
    const Wide q = a / b;
    return a % b != 0 && a > 0 ? q + 1 : q;
}

std::int64_t speedMillionths(double speed)
{
    // Far past anything playable, but still a speed.
    constexpr double kFastest = 1000.0;
    if (!(speed > 0))
        return BeatClock::kSpeedUnit;
    const double scaled = std::round(std::min(speed, kFastest) * BeatClock::kSpeedUnit);
    return std::max<std::int64_t>(static_cast<std::int64_t>(scaled), 1);
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

void BeatClock::runFrom(std::int64_t tick, std::int64_t atNanos, std::int32_t songLength,
                        double speed)
{
    locate(tick);
    m_speed = speedMillionths(speed);
    if (!m_timeline)
        return;
    m_running = true;
    m_startNanos = atNanos;
    m_songNanos = m_timeline->nanosAt(m_tick);
    m_speedBefore = 0;
    m_endTick = songEndTick(*m_timeline, m_tick, songLength);
}

void BeatClock::setSpeed(double speed, std::int64_t atNanos)
{
    if (m_running && atNanos > m_startNanos) {
        // The song's nanosecond at that moment, at the old speed: the new
        // speed goes on from it, so no tick comes twice or not at all.
        m_songNanos = songNanosAt(atNanos);
        m_startNanos = atNanos;
        m_speedBefore = m_speed;
    }
    m_speed = speedMillionths(speed);
}

void BeatClock::setSpeedFrom(double speed, std::int64_t songNanos, std::int64_t atNanos)
{
    if (!m_running || songNanos <= m_songNanos) {
        // Standing, or the change falls on the anchor: the speed alone changes.
        m_speed = speedMillionths(speed);
        return;
    }
    // The first moment the run reaches the place at the speed it has now.
    const Wide reached =
        Wide{m_startNanos} + ceilDiv((Wide{songNanos} - m_songNanos) * kSpeedUnit, m_speed);
    if (reached - atNanos > kSpeedChangeReach || atNanos - reached > kSpeedChangeReach) {
        setSpeed(speed, atNanos);
        return;
    }
    m_startNanos = saturated(reached);
    m_songNanos = songNanos;
    m_speedBefore = m_speed;
    m_speed = speedMillionths(speed);
}

double BeatClock::speed() const
{
    return static_cast<double>(m_speed) / kSpeedUnit;
}

std::int64_t BeatClock::songNanosAt(std::int64_t nowNanos) const
{
    const Wide elapsed = Wide{nowNanos} - m_startNanos;
    // Before the anchor the speed before it: 0 holds at the run's start.
    const std::int64_t speed = elapsed >= 0 ? m_speed : m_speedBefore;
    if (speed == kSpeedUnit)
        return saturated(Wide{m_songNanos} + elapsed);
    return saturated(Wide{m_songNanos} + floorDiv(elapsed * speed, kSpeedUnit));
}

void BeatClock::holdAt(std::int64_t nowNanos)
{
    locate(tickAt(nowNanos));
}

std::int64_t BeatClock::tickAt(std::int64_t nowNanos) const
{
    if (!m_running)
        return m_tick;
    const std::int64_t tick = m_timeline->tickAt(songNanosAt(nowNanos));
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
    // The first moment whose song time reaches the tick's.
    const Wide ahead = Wide{m_timeline->nanosAt(tick)} - m_songNanos;
    const std::int64_t speed = ahead < 0 && m_speedBefore > 0 ? m_speedBefore : m_speed;
    return saturated(Wide{m_startNanos} + ceilDiv(ahead * kSpeedUnit, speed));
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
