#include "platform/FakeSequencer.h"

#include <algorithm>

namespace velkan {

namespace {
constexpr const char *kNotOpen = "MIDI ファイルが開かれていません。";
constexpr const char *kOutOfRange = "指定した位置は曲の範囲外です。";
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

std::int32_t FakeSequencer::positionLocked() const
{
    if (!m_playing || !m_advance)
        return m_position;
    const std::int64_t moved = static_cast<std::int64_t>(m_advance()) - m_advanceAtPlay;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(m_position + moved, 0, std::max(m_length, m_position)));
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
    m_advanceAtPlay = m_advance ? m_advance() : 0;
    return result;
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
    m_advanceAtPlay = m_advance ? m_advance() : 0;
}

void FakeSequencer::setAdvance(std::function<std::int32_t()> sixteenthsElapsed)
{
    std::lock_guard lock(m_mutex);
    if (m_playing)
        m_position = positionLocked();
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
