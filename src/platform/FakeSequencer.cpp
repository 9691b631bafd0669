#include "platform/FakeSequencer.h"

#include <algorithm>
#include <cmath>

namespace velkan {

namespace {
constexpr const char *kNotOpen = "MIDI ファイルが開かれていません。";
constexpr const char *kOutOfRange = "指定した位置は曲の範囲外です。";
constexpr const char *kSpeedOutOfRange = "再生速度は 50% から 150% の範囲で指定してください。";
} // namespace

SeqResult FakeSequencer::record(Call call)
{
    const Op op = call.op;
    m_calls.push_back(std::move(call));
    if (const auto &failure = m_failures[static_cast<std::size_t>(op)])
        return SeqResult::failure(*failure);
    if (op != Op::Open && op != Op::Close && !m_open)
        return SeqResult::failure(kNotOpen);
    return SeqResult::success();
}

double FakeSequencer::exactPositionLocked() const
{
    if (!m_playing || !m_advance)
        return m_position + m_fraction;
    const std::int64_t moved = static_cast<std::int64_t>(m_advance()) - m_advanceAtPlay;
    return std::clamp(m_position + m_fraction + static_cast<double>(moved) * m_speed, 0.0,
                      static_cast<double>(std::max(m_length, m_position)));
}

std::int32_t FakeSequencer::positionLocked() const
{
    return static_cast<std::int32_t>(std::floor(exactPositionLocked()));
}

SeqResult FakeSequencer::check(const std::string &path)
{
    std::lock_guard lock(m_mutex);
    m_calls.push_back({Op::Check, 0, path});
    for (const Op op : {Op::Check, Op::Open}) {
        if (const auto &failure = m_failures[static_cast<std::size_t>(op)])
            return SeqResult::failure(*failure);
    }
    return SeqResult::success();
}

SeqResult FakeSequencer::open(const std::string &path)
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::Open, 0, path});
    if (!result) {
        m_open = false; // as a real device: the old song is closed first
        m_playing = false;
        return result;
    }
    m_open = true;
    m_playing = false;
    m_path = path;
    m_length = m_songLength;
    m_position = 0;
    m_fraction = 0.0;
    return result;
}

SeqResult FakeSequencer::close()
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::Close, 0, {}});
    if (result) {
        m_open = false;
        m_playing = false;
    }
    return result;
}

bool FakeSequencer::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

SeqValue FakeSequencer::lengthSixteenths()
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::Length, 0, {}});
    return result ? SeqValue::of(m_length) : SeqValue::failure(result);
}

SeqValue FakeSequencer::positionSixteenths()
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::Position, 0, {}});
    return result ? SeqValue::of(positionLocked()) : SeqValue::failure(result);
}

SeqResult FakeSequencer::playFrom(std::int32_t sixteenths)
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::PlayFrom, sixteenths, {}});
    if (result && (sixteenths < 0 || sixteenths > m_length))
        result = SeqResult::failure(kOutOfRange);
    if (!result)
        return result;
    m_position = sixteenths;
    m_fraction = 0.0;
    m_advanceAtPlay = m_advance ? m_advance() : 0;
    m_playing = true;
    return result;
}

SeqResult FakeSequencer::play()
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::Play, 0, {}});
    if (!result || m_playing)
        return result;
    m_advanceAtPlay = m_advance ? m_advance() : 0;
    m_playing = true;
    return result;
}

SeqResult FakeSequencer::stop()
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::Stop, 0, {}});
    if (result && m_playing) {
        m_position = positionLocked();
        m_fraction = 0.0;
        m_playing = false;
    }
    return result;
}

SeqResult FakeSequencer::seek(std::int32_t sixteenths)
{
    std::lock_guard lock(m_mutex);
    SeqResult result = record({Op::Seek, sixteenths, {}});
    if (result && (sixteenths < 0 || sixteenths > m_length))
        result = SeqResult::failure(kOutOfRange);
    if (!result)
        return result;
    m_position = sixteenths;
    m_fraction = 0.0;
    m_advanceAtPlay = m_advance ? m_advance() : 0;
    return result;
}

SeqResult FakeSequencer::setSpeed(double factor)
{
    std::lock_guard lock(m_mutex);
    m_calls.push_back({Op::SetSpeed, static_cast<std::int32_t>(std::lround(factor * 1000)), {}});
    if (const auto &failure = m_failures[static_cast<std::size_t>(Op::SetSpeed)])
        return SeqResult::failure(*failure);
    if (!(factor >= minSpeed && factor <= maxSpeed))
        return SeqResult::failure(kSpeedOutOfRange);
    if (m_playing) {
        // What has played so far keeps the old speed.
        const double exact = exactPositionLocked();
        m_position = static_cast<std::int32_t>(std::floor(exact));
        m_fraction = exact - m_position;
        m_advanceAtPlay = m_advance ? m_advance() : 0;
    }
    m_speed = factor;
    return SeqResult::success();
}

double FakeSequencer::speed() const
{
    std::lock_guard lock(m_mutex);
    return m_speed;
}

std::int64_t FakeSequencer::outputLatencyNanos() const
{
    std::lock_guard lock(m_mutex);
    return m_latencyNanos;
}

void FakeSequencer::setOutputLatencyNanos(std::int64_t nanos)
{
    std::lock_guard lock(m_mutex);
    m_latencyNanos = nanos;
}

void FakeSequencer::setFailure(Op op, std::optional<std::string> text)
{
    std::lock_guard lock(m_mutex);
    m_failures[static_cast<std::size_t>(op)] = std::move(text);
}

void FakeSequencer::setSongLength(std::int32_t sixteenths)
{
    std::lock_guard lock(m_mutex);
    m_songLength = sixteenths;
    if (m_open)
        m_length = sixteenths;
}

void FakeSequencer::setPosition(std::int32_t sixteenths)
{
    std::lock_guard lock(m_mutex);
    m_position = sixteenths;
    m_fraction = 0.0;
    m_advanceAtPlay = m_advance ? m_advance() : 0;
}

void FakeSequencer::setAdvance(std::function<std::int32_t()> sixteenthsElapsed)
{
    std::lock_guard lock(m_mutex);
    if (m_playing) {
        const double exact = exactPositionLocked();
        m_position = static_cast<std::int32_t>(std::floor(exact));
        m_fraction = exact - m_position;
    }
    m_advance = std::move(sixteenthsElapsed);
    m_advanceAtPlay = m_advance ? m_advance() : 0;
}

bool FakeSequencer::isPlaying() const
{
    std::lock_guard lock(m_mutex);
    return m_playing;
}

std::vector<FakeSequencer::Call> FakeSequencer::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<FakeSequencer::Op> FakeSequencer::ops() const
{
    std::lock_guard lock(m_mutex);
    std::vector<Op> result;
    for (const Call &call : m_calls)
        result.push_back(call.op);
    return result;
}

void FakeSequencer::clearCalls()
{
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

} // namespace velkan
