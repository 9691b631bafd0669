#pragma once

#include "platform/Sequencer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velkan {

// A sequencer that sounds nothing, for tests of what drives it: it records
// every call, reports the position the test gives it, and fails any operation
// with a chosen text. Safe to call from several threads.
//
// While playing, the position is the one playback started from plus how far
// the injected advance function has moved since (clamped to the length); with
// no function set it stays where playback started. The speed scales that
// advance: at 0.5 it takes two sixteenths of the function for one of the song.
class FakeSequencer final : public Sequencer {
public:
    enum class Op { Open, Close, Length, Position, PlayFrom, Play, Stop, Seek, Check, SetSpeed };
    static constexpr std::size_t opCount = 10;

    struct Call {
        Op op;
        std::int32_t argument = 0; // target of PlayFrom and Seek; thousandths of SetSpeed's factor
        std::string path;          // of Open
        bool operator==(const Call &) const = default;
    };

    // Fails as open() would: with the text chosen for Check, else for Open.
    SeqResult check(const std::string &path) override;
    SeqResult open(const std::string &path) override;
    SeqResult close() override;
    bool isOpen() const override;
    SeqValue lengthSixteenths() override;
    SeqValue positionSixteenths() override;
    SeqResult playFrom(std::int32_t sixteenths) override;
    SeqResult play() override;
    SeqResult stop() override;
    SeqResult seek(std::int32_t sixteenths) override;
    // Works with no song open, as the device's does.
    SeqResult setSpeed(double factor) override;
    double speed() const override;
    std::int64_t outputLatencyNanos() const override;

    // Every later call of `op` fails with `text` until cleared with
    // std::nullopt. A failing call changes nothing, except that a failed open
    // leaves no song open (the device closes the old one first).
    void setFailure(Op op, std::optional<std::string> text);
    // The length that open() gives the song.
    void setSongLength(std::int32_t sixteenths);
    // Moves the position as a seek would, without recording a call.
    void setPosition(std::int32_t sixteenths);
    // A running count of sixteenth notes (say, from a test clock); playback
    // advances by its increase since play started.
    void setAdvance(std::function<std::int32_t()> sixteenthsElapsed);
    // What outputLatencyNanos() reports; 0 until set.
    void setOutputLatencyNanos(std::int64_t nanos);

    bool isPlaying() const;
    std::vector<Call> calls() const;
    std::vector<Op> ops() const;
    void clearCalls();

private:
    SeqResult record(Call call);
    double exactPositionLocked() const;
    std::int32_t positionLocked() const;

    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
    std::array<std::optional<std::string>, opCount> m_failures;
    std::function<std::int32_t()> m_advance;
    std::string m_path;
    bool m_open = false;
    bool m_playing = false;
    std::int32_t m_songLength = 0;
    std::int32_t m_length = 0;
    std::int32_t m_position = 0;      // while stopped, and where playback started
    std::int32_t m_advanceAtPlay = 0; // m_advance() when playback started
    // The part of a sixteenth played when the speed last changed in play.
    double m_fraction = 0.0;
    double m_speed = 1.0;
    std::int64_t m_latencyNanos = 0;
};

} // namespace velkan
