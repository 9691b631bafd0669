#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkan {

// Outcome of a sequencer operation. On failure `error` holds a Japanese text
// (UTF-8, at most maxErrorChars characters) meant for a message box.
struct SeqResult {
    static constexpr std::size_t maxErrorChars = 128;

    bool ok = true;
    std::string error;

    static SeqResult success() { return {}; }
    // Cuts the text to maxErrorChars characters, never inside a UTF-8 sequence.
    static SeqResult failure(std::string_view text)
    {
        std::size_t chars = 0;
        std::size_t end = 0;
        while (end < text.size() && chars < maxErrorChars) {
            ++end;
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
                ++end; // continuation bytes belong to the same character
            ++chars;
        }
        return {false, std::string(text.substr(0, end))};
    }
    explicit operator bool() const { return ok; }
};

// A position or a length in sixteenth notes, or the reason there is none.
struct SeqValue {
    bool ok = true;
    std::int32_t value = 0;
    std::string error;

    static SeqValue of(std::int32_t value) { return {true, value, {}}; }
    static SeqValue failure(const SeqResult &result) { return {false, 0, result.error}; }
    explicit operator bool() const { return ok; }
};

// The MIDI sequencer device: sounds one song and reports positions in
// sixteenth notes (four to a quarter note). It knows nothing of bars and beats.
//
// Implementations are driven from one thread (the UI thread); none is required
// to be safe for concurrent calls.
class Sequencer {
public:
    virtual ~Sequencer() = default;

    // Whether open(path) would succeed, found without touching the song that
    // is open: a new song is checked before the old one goes.
    virtual SeqResult check(const std::string &path) = 0;
    // Opens the MIDI file at `path` (UTF-8), closing any song open before.
    // Succeeds only when the song can really be played.
    virtual SeqResult open(const std::string &path) = 0;
    // Releases the song; closing nothing succeeds.
    virtual SeqResult close() = 0;
    virtual bool isOpen() const = 0;

    virtual SeqValue lengthSixteenths() = 0;
    // While stopped: where the next play() starts (the last seek or stop).
    virtual SeqValue positionSixteenths() = 0;

    // Plays from the given position; playFrom(0) starts the song from the top.
    virtual SeqResult playFrom(std::int32_t sixteenths) = 0;
    // Plays on from the current position (that of the last stop or seek).
    virtual SeqResult play() = 0;
    // Playback has stopped on return; the position is kept.
    virtual SeqResult stop() = 0;
    // Moves the position; while stopped, the next play() starts there.
    virtual SeqResult seek(std::int32_t sixteenths) = 0;

    // Playback speed as a factor of the song's own tempo (1.0 as written),
    // from minSpeed to maxSpeed; the pitch stays. The factor holds across
    // every tempo change of the song, stop, seek and the songs opened later;
    // it may be set with no song open. While playing, the new speed holds
    // from where speedChangeSongNanos() says, else from the moment the call
    // returns: a clock that follows the song changes its speed there. A
    // factor out of range fails and changes nothing. A device that cannot
    // change its speed says so.
    static constexpr double minSpeed = 0.5;
    static constexpr double maxSpeed = 1.5;
    virtual SeqResult setSpeed(double factor);
    virtual double speed() const { return 1.0; }
    // Where the song stood when the last setSpeed() made while playing took
    // hold: its time as written, in nanoseconds from its start. A device
    // that takes a new speed up at its own blocks of samples knows the place
    // better than the moment of the call. Nothing when not known.
    virtual std::optional<std::int64_t> speedChangeSongNanos() const { return std::nullopt; }

    // How long a note takes from the device to the speaker: the audio
    // output's buffers, in nanoseconds; 0 where it is not known.
    virtual std::int64_t outputLatencyNanos() const { return 0; }
};

inline SeqResult Sequencer::setSpeed(double factor)
{
    if (factor == 1.0)
        return SeqResult::success();
    return SeqResult::failure("この音源では再生速度を変えられません。");
}

} // namespace velkan
