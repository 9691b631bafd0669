#include "midi/SongTimeline.h"

#include "midi/MidiBytes.h"
#include "midi/TrackWalker.h"

#include <algorithm>
#include <limits>

namespace velkan {

namespace {

// Time products (ticks x microseconds x 1000) outgrow 64 bits long before a
// song does anything unusual; 128 bits hold any of them.
__extension__ typedef __int128 Wide;

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();

std::int64_t saturated64(Wide v)
{
    if (v > kInt64Max)
        return kInt64Max;
    if (v < -kInt64Max)
        return -kInt64Max;
    return static_cast<std::int64_t>(v);
}

std::int32_t saturated32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp(v, kInt32Min, kInt32Max));
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if (a % b != 0 && (a < 0) != (b < 0))
        --q;
    return q;
}

Wide ceilDiv(Wide a, Wide b) // b > 0
{
    Wide q = a / b;
    if (a % b != 0 && a > 0)
        ++q;
    return q;
}

// A bar's length in ticks as the player computes it; 0 when it cannot be counted.
std::int64_t barTicksOf(const TimeSignatureEvent &s, int division)
{
    if (s.numerator <= 0 || s.denominatorExponent < 0 || s.denominatorExponent > 30)
        return 0;
    return std::int64_t{s.numerator} * division * 4 / (std::int64_t{1} << s.denominatorExponent);
}

} // namespace

SongTimeline::SongTimeline(int division, std::vector<TempoEvent> tempos,
                           std::vector<TimeSignatureEvent> signatures)
    : m_division(std::max(division, 1))
{
    buildTempo(std::move(tempos));
    buildMeter(std::move(signatures));
}

void SongTimeline::buildTempo(std::vector<TempoEvent> tempos)
{
    std::erase_if(tempos, [](const TempoEvent &e) {
        return e.usPerQuarter == 0 || e.tick < 0 || e.tick > kLastTick;
    });
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoEvent &a, const TempoEvent &b) { return a.tick < b.tick; });
    m_tempo.assign(1, TempoSpan{0, kDefaultUsPerQuarter, 0});
    m_tempo.reserve(tempos.size() + 1);
    for (const TempoEvent &e : tempos) {
        TempoSpan &last = m_tempo.back();
        if (e.tick == last.tick) {
            last.usPerQuarter = e.usPerQuarter; // the last event of a tick holds
            continue;
        }
        if (e.usPerQuarter == last.usPerQuarter)
            continue;
        // At most 2^31 ticks x 2^24 us: the sum stays far inside 64 bits.
        const std::int64_t start = last.scaledStart + (e.tick - last.tick) * last.usPerQuarter;
        m_tempo.push_back({e.tick, e.usPerQuarter, start});
    }
    // Merging a tick's events can leave two neighbours of one tempo.
    auto same = [](const TempoSpan &a, const TempoSpan &b) {
        return a.usPerQuarter == b.usPerQuarter;
    };
    m_tempo.erase(std::unique(m_tempo.begin(), m_tempo.end(), same), m_tempo.end());
}

void SongTimeline::buildMeter(std::vector<TimeSignatureEvent> signatures)
{
    struct Change {
        std::int64_t tick;
        std::int64_t barTicks;
    };
    std::vector<Change> changes;
    changes.reserve(signatures.size());
    for (const TimeSignatureEvent &s : signatures) {
        const std::int64_t ticks = barTicksOf(s, m_division);
        if (ticks >= 1 && s.tick >= 0 && s.tick <= kLastTick)
            changes.push_back({s.tick, ticks});
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change &a, const Change &b) { return a.tick < b.tick; });

    MeterSpan current{1, 0, std::int64_t{4} * m_division};
    std::size_t i = 0;
    for (; i < changes.size() && changes[i].tick <= 0; ++i)
        current.barTicks = changes[i].barTicks;
    m_meter.clear();
    while (i < changes.size()) {
        // The first bar line at or after the change...
        const std::int64_t bars = static_cast<std::int64_t>(
            ceilDiv(changes[i].tick - current.startTick, current.barTicks));
        const std::int64_t line = current.startTick + bars * current.barTicks;
        // ...takes the last signature standing at or before it.
        std::int64_t ticks = current.barTicks;
        for (; i < changes.size() && changes[i].tick <= line; ++i)
            ticks = changes[i].barTicks;
        if (ticks == current.barTicks)
            continue;
        m_meter.push_back(current);
        current = MeterSpan{current.firstBar + bars, line, ticks};
    }
    m_meter.push_back(current);
}

std::optional<SongTimeline> SongTimeline::fromSmf(std::string_view image)
{
    const std::string_view smf = unwrapRmid(image);
    const std::optional<SmfHeader> header = readSmfHeader(smf);
    if (!header || !header->hasTickDivision())
        return std::nullopt;

    std::vector<TempoEvent> tempos;
    std::vector<TimeSignatureEvent> signatures;
    const bool firstTrackOnly = header->format == 2; // independent songs: the first is played
    forEachTrack(smf, [&](std::string_view events) {
        TrackWalker walker(events);
        TrackWalker::MetaEvent meta;
        while (walker.nextMeta(meta) && meta.type != MetaType::kEndOfTrack) {
            const auto byte = [&meta](std::size_t i) {
                return static_cast<std::uint32_t>(static_cast<unsigned char>(meta.data[i]));
            };
            if (meta.type == MetaType::kTempo && meta.data.size() == 3)
                tempos.push_back({walker.tick(), byte(0) << 16 | byte(1) << 8 | byte(2)});
            else if (meta.type == MetaType::kTimeSignature && meta.data.size() == 4)
                signatures.push_back(
                    {walker.tick(), static_cast<int>(byte(0)), static_cast<int>(byte(1))});
        }
        return !firstTrackOnly;
    });
    return SongTimeline(header->division, std::move(tempos), std::move(signatures));
}

const SongTimeline::TempoSpan &SongTimeline::tempoSpanAt(std::int64_t tick) const
{
    auto it = std::upper_bound(m_tempo.begin(), m_tempo.end(), tick,
                               [](std::int64_t t, const TempoSpan &s) { return t < s.tick; });
    return it == m_tempo.begin() ? m_tempo.front() : *(it - 1);
}

std::int64_t SongTimeline::nanosAt(std::int64_t tick) const
{
    tick = std::max<std::int64_t>(tick, 0);
    const TempoSpan &s = tempoSpanAt(tick);
    const Wide scaled = Wide{s.scaledStart} + Wide{tick - s.tick} * s.usPerQuarter;
    return saturated64(ceilDiv(scaled * 1000, m_division));
}

std::int64_t SongTimeline::tickAt(std::int64_t nanos) const
{
    if (nanos <= 0)
        return 0;
    const Wide target = Wide{nanos} * m_division; // in ns x division
    auto it =
        std::upper_bound(m_tempo.begin(), m_tempo.end(), target,
                         [](Wide t, const TempoSpan &s) { return t < Wide{s.scaledStart} * 1000; });
    const TempoSpan &s = *(it - 1); // the first span starts at 0 <= target
    const Wide into = (target - Wide{s.scaledStart} * 1000) / (Wide{s.usPerQuarter} * 1000);
    return saturated64(Wide{s.tick} + into);
}

std::uint32_t SongTimeline::usPerQuarterAt(std::int64_t tick) const
{
    return static_cast<std::uint32_t>(tempoSpanAt(tick).usPerQuarter);
}

const SongTimeline::MeterSpan &SongTimeline::meterSpanAtTick(std::int64_t tick) const
{
    auto it = std::upper_bound(m_meter.begin(), m_meter.end(), tick,
                               [](std::int64_t t, const MeterSpan &s) { return t < s.startTick; });
    return it == m_meter.begin() ? m_meter.front() : *(it - 1);
}

const SongTimeline::MeterSpan &SongTimeline::meterSpanOfBar(std::int64_t bar) const
{
    auto it = std::upper_bound(m_meter.begin(), m_meter.end(), bar,
                               [](std::int64_t b, const MeterSpan &s) { return b < s.firstBar; });
    return it == m_meter.begin() ? m_meter.front() : *(it - 1);
}

BarPlace SongTimeline::barAt(std::int64_t tick) const
{
    const MeterSpan &s = meterSpanAtTick(tick);
    const std::int64_t bars = floorDiv(tick - s.startTick, s.barTicks);
    return {saturated32(s.firstBar + bars), s.startTick + bars * s.barTicks, s.barTicks};
}

std::int64_t SongTimeline::barStart(std::int64_t bar) const
{
    const MeterSpan &s = meterSpanOfBar(bar);
    return saturated64(Wide{s.startTick} + Wide{bar - s.firstBar} * s.barTicks);
}

BeatPlace SongTimeline::beatAt(std::int64_t tick) const
{
    const BarPlace bar = barAt(tick);
    const std::int64_t beats = (tick - bar.startTick) / m_division;
    const std::int64_t start = bar.startTick + beats * m_division;
    const std::int64_t end = std::min(start + m_division, bar.startTick + bar.ticks);
    return {bar.bar, saturated32(beats + 1), start, end};
}

MusicalPosition SongTimeline::positionAt(std::int64_t tick) const
{
    const BarPlace bar = barAt(tick);
    return {bar.bar, saturated32((tick - bar.startTick) * kStepsPerQuarter / m_division)};
}

std::int64_t SongTimeline::tickOf(const MusicalPosition &p) const
{
    const std::int64_t bar = std::max<std::int64_t>(p.bar, 1);
    const std::int64_t line = barStart(bar);
    const std::int64_t length = meterSpanOfBar(bar).barTicks;
    const std::int64_t into = std::int64_t{m_division} * p.step / kStepsPerQuarter;
    return std::max<std::int64_t>(line + std::min(into, length), 0);
}

std::int32_t SongTimeline::sixteenthOf(std::int64_t tick) const
{
    return saturated32(saturated64(Wide{tick} * 4 / m_division));
}

std::int64_t SongTimeline::tickOfSixteenth(std::int64_t sixteenths) const
{
    return saturated64(Wide{sixteenths} * m_division / 4);
}

} // namespace velkan
