#include "midi/BarMath.h"

#include <algorithm>
#include <limits>

namespace velkan {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t saturated(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp(v, kInt32Min, kInt32Max));
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

BarMath::BarMath(const SongTimeline *timeline)
{
    if (!timeline) {
        m_segments.push_back({1, 0, kDefaultBarLength});
        return;
    }
    const std::int64_t division = timeline->division();
    for (const SongTimeline::MeterSpan &span : timeline->meterSpans()) {
        const int length = static_cast<int>(std::clamp<std::int64_t>(
            (span.barTicks * kStepsPerQuarter + division - 1) / division, 1, kInt32Max));
        if (m_segments.empty()) {
            m_segments.push_back({span.firstBar, 0, length});
            continue;
        }
        const Segment &last = m_segments.back();
        const std::int64_t start =
            last.absoluteStart + (span.firstBar - last.startBar) * last.length;
        m_segments.push_back({span.firstBar, start, length});
    }
}

const BarMath::Segment &BarMath::segmentOfBar(std::int64_t bar) const
{
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), bar,
                               [](std::int64_t b, const Segment &s) { return b < s.startBar; });
    return it == m_segments.begin() ? m_segments.front() : *(it - 1);
}

int BarMath::barLength(std::int32_t bar) const
{
    return segmentOfBar(bar).length;
}

std::int64_t BarMath::barStart(std::int64_t bar) const
{
    const Segment &s = segmentOfBar(bar);
    return s.absoluteStart + (bar - s.startBar) * s.length;
}

std::int64_t BarMath::absoluteStep(const MusicalPosition &p) const
{
    return barStart(p.bar) + p.step;
}

MusicalPosition BarMath::makePosition(std::int64_t bar, std::int64_t step) const
{
    return {saturated(bar), saturated(step)};
}

MusicalPosition BarMath::positionAt(std::int64_t absolute) const
{
    const Segment *seg = &m_segments.front();
    if (absolute >= 0) {
        auto it =
            std::upper_bound(m_segments.begin(), m_segments.end(), absolute,
                             [](std::int64_t a, const Segment &s) { return a < s.absoluteStart; });
        seg = &*(it - 1);
    }
    const std::int64_t offset = absolute - seg->absoluteStart;
    const std::int64_t bars = floorDiv(offset, seg->length);
    return makePosition(seg->startBar + bars, offset - bars * seg->length);
}

MusicalPosition BarMath::added(const MusicalPosition &p, std::int64_t steps) const
{
    return positionAt(absoluteStep(p) + steps);
}

MusicalPosition BarMath::subtracted(const MusicalPosition &p, std::int64_t steps) const
{
    return positionAt(absoluteStep(p) - steps);
}

std::int64_t BarMath::stepsBetween(const MusicalPosition &from, const MusicalPosition &to) const
{
    return absoluteStep(to) - absoluteStep(from);
}

MusicalPosition BarMath::shiftedOnce(const MusicalPosition &p, std::int64_t steps) const
{
    std::int64_t bar = p.bar;
    std::int64_t step = p.step + steps;
    if (step < 0) {
        --bar;
        step += segmentOfBar(bar).length;
    }
    const int length = segmentOfBar(bar).length;
    if (step >= length) {
        step -= length;
        ++bar;
    }
    return makePosition(bar, step);
}

bool BarMath::isBeforeStart(const MusicalPosition &p) const
{
    return absoluteStep(p) < 0;
}

MusicalPosition BarMath::clampedToStart(const MusicalPosition &p, bool *held) const
{
    const bool before = isBeforeStart(p);
    if (held)
        *held = before;
    if (before)
        return {1, 0};
    // Not before the start, but written with a bar below 1 (such as bar 0,
    // step 200): the same moment, named by a bar the player can load.
    if (p.bar < 1)
        return positionAt(absoluteStep(p));
    return p;
}

} // namespace velkan
