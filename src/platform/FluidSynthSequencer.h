#pragma once

#include "midi/SongTimeline.h"
#include "platform/Sequencer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// FluidSynth's opaque types, so that users of this header need not see fluidsynth.h.
struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;
struct _fluid_player_t;

namespace velkan {

// The sequencer device on FluidSynth: a synth with a GM SoundFont, an audio
// driver and one MIDI player per song.
//
// Environment, then the user's settings (AppSettings):
// - VELKAN_SOUNDFONT, else the SoundFont chosen in the settings: the SoundFont
//   to load; otherwise the first that exists of
//   /usr/share/sounds/sf2/default-GM.sf2, TimGM6mb.sf2, FluidR3_GM.sf2.
// - VELKAN_AUDIO_DRIVER, else the output chosen in the settings: FluidSynth's
//   audio.driver (its own default when neither is set). "file" renders in
//   real time to /dev/null: headless machines.
// Both are read when the synth is first made, at the first open().
//
// The speed is the player's tempo multiplier, so FluidSynth scales every
// tempo of the song by it; it is given to each player made. While playing,
// the player's next block sets it, and speedChangeSongNanos() tells the tick
// it went on from.
//
// What this class hides of FluidSynth's player: it accepts any file name and
// parses only once playing, knows no length before playing, does not report a
// seek made while stopped, cannot be given a new file, and skips a file it
// rejects without an error. So open() reads and checks the file itself, lets a
// muted player try it, and keeps the bytes (RMID unwrapped) for the players it
// makes; the length comes from the file; a position set while stopped is
// remembered and reported; a player that has played to its end is replaced.
// And it takes a tempo change up only at the next block of samples, so the
// music drifts from the song's time over many changes: the players get a copy
// of the song under one steady tempo with every event at its exact time (see
// SteadyTempoCopy), and positions are turned back into the song's ticks.
//
// Threads: every call must come from one thread (the UI thread). FluidSynth's
// audio thread only writes the atomics below, and sets a speed handed to it
// through them.
class FluidSynthSequencer final : public Sequencer {
public:
    FluidSynthSequencer();
    ~FluidSynthSequencer() override;
    FluidSynthSequencer(const FluidSynthSequencer &) = delete;
    FluidSynthSequencer &operator=(const FluidSynthSequencer &) = delete;

    SeqResult check(const std::string &path) override;
    SeqResult open(const std::string &path) override;
    SeqResult close() override;
    bool isOpen() const override { return m_player != nullptr; }
    SeqValue lengthSixteenths() override;
    SeqValue positionSixteenths() override;
    SeqResult playFrom(std::int32_t sixteenths) override;
    SeqResult play() override;
    SeqResult stop() override;
    SeqResult seek(std::int32_t sixteenths) override;
    SeqResult setSpeed(double factor) override;
    double speed() const override { return m_speed; }
    // The steady copy's tick the player took the speed up from, as the song's
    // time; nothing for a song played as it is.
    std::optional<std::int64_t> speedChangeSongNanos() const override
    {
        return m_speedChangeSongNanos;
    }
    // audio.period-size x audio.periods / synth.sample-rate, as the synth is
    // (or would be) made.
    std::int64_t outputLatencyNanos() const override;

    // True between play() and stop() until the player reaches the song's end.
    bool isPlaying();

    // For measuring a clock against the music without polling: called on the
    // audio thread at every block of samples the player counts, with where
    // the song then stands, just before that block's events sound. It must
    // return at once. It may be set or cleared at any time; once a call that
    // clears it returns, it is not running and is not called again.
    using BlockObserver = std::function<void(std::int32_t sixteenths)>;
    void observeBlocks(BlockObserver observer);

    // The SoundFont open() would load; empty when there is none.
    static std::string findSoundFont();
    // The audio.driver the synth is made with; empty for FluidSynth's default.
    static std::string chosenAudioDriver();
    // The audio drivers this FluidSynth was built with, by their audio.driver names.
    static std::vector<std::string> audioDrivers();

private:
    enum class LoadOutcome { Loaded, Rejected, NoResponse };

    SeqResult ensureSynth();
    static void configure(_fluid_hashtable_t *settings);
    static SeqResult readSong(const std::string &path, std::string &smf, std::int32_t &length);
    static bool playerAccepts(const std::string &smf);
    SeqResult makePlayer(bool muted);
    void dropPlayer();
    LoadOutcome waitForLoad();
    bool playerFinished();
    bool seekPending() const;
    std::int64_t currentTick();
    std::int32_t toSixteenths(std::int64_t ticks) const;
    std::int64_t toTicks(std::int32_t sixteenths) const;
    static int onTick(void *self, int tick);

    _fluid_hashtable_t *m_settings = nullptr;
    _fluid_synth_t *m_synth = nullptr;
    _fluid_audio_driver_t *m_driver = nullptr;
    _fluid_player_t *m_player = nullptr;

    std::string m_song; // the Standard MIDI File bytes every player of this song gets
    int m_division = 0;
    // The song's time, when the players get its steady copy: the player's
    // ticks are the copy's then.
    std::optional<SongTimeline> m_steadyTimeline;
    std::int32_t m_length = 0;
    double m_speed = 1.0;
    std::optional<std::int64_t> m_speedChangeSongNanos;
    bool m_playing = false;
    bool m_needsNewPlayer = false;  // the player played to its end and stops for good
    std::int64_t m_stoppedTick = 0; // where the next play starts
    // A seek handed to a playing player is carried out at its next callback;
    // until then the target is the position.
    std::int64_t m_seekTick = -1;
    std::uint64_t m_seekCallbacks = 0;

    std::atomic<std::int64_t> m_tick{0};
    std::atomic<std::uint64_t> m_callbacks{0};
    // A speed for the next block to set (0: none), and the tick it set it on.
    std::atomic<double> m_pendingSpeed{0.0};
    std::atomic<std::int64_t> m_speedTick{-1};
    // The audio thread takes the lock only while an observer is set.
    std::atomic<bool> m_observing{false};
    std::mutex m_observerMutex;
    BlockObserver m_blockObserver;
};

} // namespace velkan
