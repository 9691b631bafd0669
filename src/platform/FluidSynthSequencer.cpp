#include "platform/FluidSynthSequencer.h"

#include "midi/MidiBytes.h"
#include "midi/SteadyTempoCopy.h"
#include "platform/AppSettings.h"

#include <fluidsynth.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace velkan {

namespace {

// Error texts shown in the message box.
constexpr const char *kNoSoundFont =
    "SoundFont (GM 音色ファイル) が見つかりません。"
    "sudo apt-get install timgm6mb-soundfont でインストールするか、"
    "環境変数 VELKAN_SOUNDFONT で指定してください。";
constexpr const char *kSoundFontUnreadable = "SoundFont を読み込めません: ";
constexpr const char *kSynthFailed = "シンセサイザーを初期化できません。";
constexpr const char *kDriverFailed =
    "オーディオ出力を開けません。環境変数 VELKAN_AUDIO_DRIVER を確認してください。";
constexpr const char *kPlayerFailed = "MIDI プレーヤーを作成できません。";
constexpr const char *kFileMissing = "MIDI ファイルが見つかりません。";
constexpr const char *kFileUnreadable = "MIDI ファイルを読み込めません。";
constexpr const char *kFileTooLarge = "MIDI ファイルが大きすぎます。";
constexpr const char *kNotMidi = "MIDI ファイルではありません。";
constexpr const char *kUnsupported =
    "この MIDI ファイルの形式には対応していません (SMPTE 時間単位、分解能 0 など)。";
constexpr const char *kRejected = "この MIDI ファイルは再生できません (ファイルが壊れています)。";
constexpr const char *kNoResponse = "音源が応答しません。オーディオ出力を確認してください。";
constexpr const char *kNotOpen = "MIDI ファイルが開かれていません。";
constexpr const char *kOutOfRange = "指定した位置は曲の範囲外です。";
constexpr const char *kSeekFailed = "演奏位置を移動できません。";
constexpr const char *kSpeedOutOfRange = "再生速度は 50% から 150% の範囲で指定してください。";
constexpr const char *kSpeedFailed = "再生速度を変更できません。";

constexpr std::uintmax_t kMaxFileBytes = 64u << 20; // far beyond any real song
constexpr auto kLoadTimeout = std::chrono::seconds(2);
constexpr auto kSeekTimeout = std::chrono::milliseconds(500);
// A block is 64 samples (1.45 ms at 44.1 kHz), but an output may render a
// few at once; a speed change waits at most this long for the next block.
constexpr auto kBlockWait = std::chrono::milliseconds(50);

std::string envOr(const char *name, const std::string &fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

int mutedEvent(void *, fluid_midi_event_t *)
{
    return FLUID_OK;
}

// The header FluidSynth's reader insists on: "MThd", length 6, format 0-2,
// a division in ticks per quarter note.
SeqResult checkHeader(std::string_view smf)
{
    if (smf.size() < 14 || smf.substr(0, 4) != "MThd")
        return SeqResult::failure(kNotMidi);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(smf[i]); };
    if (byte(4) != 0 || byte(5) != 0 || byte(6) != 0 || byte(7) != 6 || byte(8) != 0 || byte(9) > 2)
        return SeqResult::failure(kUnsupported);
    return SeqResult::success();
}

} // namespace

FluidSynthSequencer::FluidSynthSequencer() = default;

FluidSynthSequencer::~FluidSynthSequencer()
{
    dropPlayer();
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
}

std::string FluidSynthSequencer::findSoundFont()
{
    // Either choice is checked when loaded, so a wrong one is reported as such.
    if (const char *chosen = std::getenv("VELKAN_SOUNDFONT"); chosen && *chosen)
        return chosen;
    if (const QString chosen = AppSettings().soundFont(); !chosen.isEmpty())
        return chosen.toStdString();
    for (const char *candidate :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec))
            return candidate;
    }
    return {};
}

SeqResult FluidSynthSequencer::ensureSynth()
{
    if (m_synth)
        return SeqResult::success();
    const std::string soundFont = findSoundFont();
    if (soundFont.empty())
        return SeqResult::failure(kNoSoundFont);

    m_settings = new_fluid_settings();
    if (!m_settings)
        return SeqResult::failure(kSynthFailed);
    configure(m_settings);
    m_synth = new_fluid_synth(m_settings);
    if (!m_synth) {
        delete_fluid_settings(m_settings);
        m_settings = nullptr;
        return SeqResult::failure(kSynthFailed);
    }
    if (fluid_synth_sfload(m_synth, soundFont.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(m_synth);
        delete_fluid_settings(m_settings);
        m_synth = nullptr;
        m_settings = nullptr;
        return SeqResult::failure(std::string(kSoundFontUnreadable) + soundFont);
    }
    return SeqResult::success();
}

std::string FluidSynthSequencer::chosenAudioDriver()
{
    return envOr("VELKAN_AUDIO_DRIVER", AppSettings().audioDriver().toStdString());
}

void FluidSynthSequencer::configure(fluid_settings_t *settings)
{
    const std::string driver = chosenAudioDriver();
    if (!driver.empty())
        fluid_settings_setstr(settings, "audio.driver", driver.c_str());
    if (driver == "file") {
        // The file driver writes in real time, which paces the player as a sound card would.
        fluid_settings_setstr(settings, "audio.file.name", "/dev/null");
        fluid_settings_setstr(settings, "audio.file.type", "raw");
    }
}

std::vector<std::string> FluidSynthSequencer::audioDrivers()
{
    std::vector<std::string> drivers;
    fluid_settings_t *settings = new_fluid_settings();
    if (!settings)
        return drivers;
    fluid_settings_foreach_option(
        settings, "audio.driver", &drivers, [](void *list, const char *, const char *option) {
            static_cast<std::vector<std::string> *>(list)->push_back(option);
        });
    delete_fluid_settings(settings);
    return drivers;
}

std::int64_t FluidSynthSequencer::outputLatencyNanos() const
{
    fluid_settings_t *settings = m_settings;
    if (!settings) {
        settings = new_fluid_settings();
        if (!settings)
            return 0;
        configure(settings);
    }
    int periodSize = 0;
    int periods = 0;
    double sampleRate = 0;
    fluid_settings_getint(settings, "audio.period-size", &periodSize);
    fluid_settings_getint(settings, "audio.periods", &periods);
    fluid_settings_getnum(settings, "synth.sample-rate", &sampleRate);
    if (settings != m_settings)
        delete_fluid_settings(settings);
    if (sampleRate <= 0)
        return 0;
    return static_cast<std::int64_t>(
        std::llround(static_cast<double>(periodSize) * periods / sampleRate * 1e9));
}

SeqResult FluidSynthSequencer::setSpeed(double factor)
{
    if (!(factor >= minSpeed && factor <= maxSpeed))
        return SeqResult::failure(kSpeedOutOfRange);
    m_speedChangeSongNanos.reset();
    if (m_player && isPlaying()) {
        // The player re-bases on a new tempo at its last block: it goes on
        // at the new tempo from that block's tick and time (the synth's
        // samples cut to whole milliseconds), so the change reaches back up
        // to a block and a millisecond from the moment of the call. Set from
        // here, it also races the block being rendered, and which block it
        // falls on is not known. So the next block sets it, in its tick
        // callback: the new tempo goes on from exactly that block's tick, and
        // in the steady copy a tick is a fixed stretch of the song's time.
        m_speedTick = -1;
        m_pendingSpeed = factor;
        const auto deadline = std::chrono::steady_clock::now() + kBlockWait;
        while (m_speedTick.load() < 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (m_pendingSpeed.exchange(0.0) == 0.0) {
            // Taken by a block, which may still be writing its tick.
            while (m_speedTick.load() < 0)
                std::this_thread::yield();
            if (m_steadyTimeline)
                m_speedChangeSongNanos = m_speedTick.load() * steady::kNanosPerTick;
            m_speed = factor;
            return SeqResult::success();
        }
        // No block came: set from here, from a place not known.
    }
    if (m_player &&
        fluid_player_set_tempo(m_player, FLUID_PLAYER_TEMPO_INTERNAL, factor) != FLUID_OK)
        return SeqResult::failure(kSpeedFailed);
    m_speed = factor;
    return SeqResult::success();
}

// FluidSynth forbids deleting a player while the synth renders, so the audio
// driver goes with it and comes back with the next player.
void FluidSynthSequencer::dropPlayer()
{
    if (m_driver) {
        delete_fluid_audio_driver(m_driver);
        m_driver = nullptr;
    }
    if (m_player) {
        delete_fluid_player(m_player);
        m_player = nullptr;
    }
}

SeqResult FluidSynthSequencer::makePlayer(bool muted)
{
    dropPlayer();
    m_player = new_fluid_player(m_synth);
    if (!m_player)
        return SeqResult::failure(kPlayerFailed);
    if (muted)
        fluid_player_set_playback_callback(m_player, mutedEvent, nullptr);
    fluid_player_set_tick_callback(m_player, onTick, this);
    // Every tempo of the song, the copy's one included, is scaled by this.
    fluid_player_set_tempo(m_player, FLUID_PLAYER_TEMPO_INTERNAL, m_speed);
    if (fluid_player_add_mem(m_player, m_song.data(), m_song.size()) != FLUID_OK) {
        dropPlayer();
        return SeqResult::failure(kPlayerFailed);
    }
    m_tick = 0;
    m_callbacks = 0;
    m_seekTick = -1;
    m_needsNewPlayer = false;
    m_driver = new_fluid_audio_driver(m_settings, m_synth);
    if (!m_driver) {
        dropPlayer();
        return SeqResult::failure(kDriverFailed);
    }
    return SeqResult::success();
}

// Audio thread, in the player's callback once it has counted this block's
// tick: a new tempo set here re-bases on this very tick.
int FluidSynthSequencer::onTick(void *self, int tick)
{
    auto *sequencer = static_cast<FluidSynthSequencer *>(self);
    sequencer->m_tick = tick;
    if (const double speed = sequencer->m_pendingSpeed.exchange(0.0); speed > 0) {
        fluid_player_set_tempo(sequencer->m_player, FLUID_PLAYER_TEMPO_INTERNAL, speed);
        sequencer->m_speedTick = tick;
    }
    if (sequencer->m_observing.load(std::memory_order_relaxed)) {
        std::lock_guard lock(sequencer->m_observerMutex);
        if (sequencer->m_blockObserver)
            sequencer->m_blockObserver(sequencer->toSixteenths(tick));
    }
    ++sequencer->m_callbacks;
    return FLUID_OK;
}

void FluidSynthSequencer::observeBlocks(BlockObserver observer)
{
    std::lock_guard lock(m_observerMutex);
    m_blockObserver = std::move(observer);
    m_observing = static_cast<bool>(m_blockObserver);
}

// The player parses its file at its first callback after play(): a file it
// rejects ends it there without a tick.
FluidSynthSequencer::LoadOutcome FluidSynthSequencer::waitForLoad()
{
    const auto deadline = std::chrono::steady_clock::now() + kLoadTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_callbacks.load() > 0)
            return LoadOutcome::Loaded;
        if (fluid_player_get_status(m_player) != FLUID_PLAYER_PLAYING)
            return m_callbacks.load() > 0 ? LoadOutcome::Loaded : LoadOutcome::Rejected;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return LoadOutcome::NoResponse;
}

SeqResult FluidSynthSequencer::readSong(const std::string &path, std::string &smf,
                                        std::int32_t &length)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return SeqResult::failure(kFileMissing);
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return SeqResult::failure(kFileUnreadable);
    if (size > kMaxFileBytes)
        return SeqResult::failure(kFileTooLarge);
    std::string image(static_cast<std::size_t>(size), '\0');
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.read(image.data(), static_cast<std::streamsize>(image.size())))
        return SeqResult::failure(kFileUnreadable);

    const std::string_view song = unwrapRmid(image);
    if (SeqResult header = checkHeader(song); !header)
        return header;
    const std::optional<std::int32_t> measured = songLengthSixteenths(song);
    if (!measured)
        return SeqResult::failure(kUnsupported);
    smf.assign(song);
    length = *measured;
    return SeqResult::success();
}

// A player of its own, on a synth of its own that no audio driver renders:
// rendering a few blocks by hand makes it parse the song, so a file
// FluidSynth rejects is known without touching the song that is open.
bool FluidSynthSequencer::playerAccepts(const std::string &smf)
{
    fluid_settings_t *settings = new_fluid_settings();
    fluid_synth_t *synth = settings ? new_fluid_synth(settings) : nullptr;
    fluid_player_t *player = synth ? new_fluid_player(synth) : nullptr;
    bool accepted = false;
    if (player) {
        std::atomic<std::uint64_t> ticks{0};
        fluid_player_set_playback_callback(player, mutedEvent, nullptr);
        fluid_player_set_tick_callback(
            player,
            [](void *count, int) {
                ++*static_cast<std::atomic<std::uint64_t> *>(count);
                return FLUID_OK;
            },
            &ticks);
        if (fluid_player_add_mem(player, smf.data(), smf.size()) == FLUID_OK &&
            fluid_player_play(player) == FLUID_OK) {
            float left[64], right[64];
            for (int block = 0; block < 64 && ticks.load() == 0 &&
                                fluid_player_get_status(player) == FLUID_PLAYER_PLAYING;
                 ++block)
                fluid_synth_write_float(synth, 64, left, 0, 1, right, 0, 1);
            accepted = ticks.load() > 0;
        }
        fluid_player_stop(player);
        delete_fluid_player(player);
    }
    if (synth)
        delete_fluid_synth(synth);
    if (settings)
        delete_fluid_settings(settings);
    return accepted;
}

SeqResult FluidSynthSequencer::check(const std::string &path)
{
    if (SeqResult synth = ensureSynth(); !synth)
        return synth;
    std::string smf;
    std::int32_t length = 0;
    if (SeqResult read = readSong(path, smf, length); !read)
        return read;
    return playerAccepts(smf) ? SeqResult::success() : SeqResult::failure(kRejected);
}

SeqResult FluidSynthSequencer::open(const std::string &path)
{
    close();
    if (SeqResult synth = ensureSynth(); !synth)
        return synth;
    if (SeqResult read = readSong(path, m_song, m_length); !read) {
        m_song.clear();
        m_length = 0;
        return read;
    }
    m_division =
        (static_cast<unsigned char>(m_song[12]) << 8) | static_cast<unsigned char>(m_song[13]);

    // Let a muted player parse the song now, so that a file FluidSynth rejects
    // fails here rather than at the first play.
    if (SeqResult made = makePlayer(true); !made)
        return made;
    fluid_player_play(m_player);
    const LoadOutcome outcome = waitForLoad();
    fluid_player_stop(m_player);
    if (outcome != LoadOutcome::Loaded) {
        dropPlayer();
        m_song.clear();
        return SeqResult::failure(outcome == LoadOutcome::Rejected ? kRejected : kNoResponse);
    }
    // Accepted as it is: from now on the players get the steady copy.
    m_steadyTimeline.reset();
    if (std::optional<SongTimeline> timeline = SongTimeline::fromSmf(m_song)) {
        if (std::optional<std::string> copy = steadyTempoCopy(m_song, *timeline)) {
            m_song = std::move(*copy);
            m_steadyTimeline = std::move(timeline);
        }
    }
    if (SeqResult made = makePlayer(false); !made)
        return made;
    m_playing = false;
    m_stoppedTick = 0;
    return SeqResult::success();
}

SeqResult FluidSynthSequencer::close()
{
    dropPlayer();
    m_song.clear();
    m_steadyTimeline.reset();
    m_playing = false;
    m_stoppedTick = 0;
    m_length = 0;
    return SeqResult::success();
}

SeqValue FluidSynthSequencer::lengthSixteenths()
{
    if (!isOpen())
        return SeqValue::failure(SeqResult::failure(kNotOpen));
    return SeqValue::of(m_length);
}

// The song is over once the position reaches its length. FluidSynth's player
// goes on counting ticks for a few seconds past the end (while the last notes
// fade) before its status says done: positions are capped at the length.
bool FluidSynthSequencer::playerFinished()
{
    if (!m_playing)
        return m_needsNewPlayer;
    if (fluid_player_get_status(m_player) != FLUID_PLAYER_PLAYING ||
        (!seekPending() && toSixteenths(m_tick.load()) >= m_length)) {
        m_playing = false;
        m_needsNewPlayer = true;
        m_stoppedTick = std::min(m_tick.load(), toTicks(m_length));
    }
    return m_needsNewPlayer;
}

bool FluidSynthSequencer::isPlaying()
{
    if (!isOpen())
        return false;
    playerFinished();
    return m_playing;
}

bool FluidSynthSequencer::seekPending() const
{
    return m_seekTick >= 0 && m_callbacks.load() < m_seekCallbacks + 2;
}

std::int64_t FluidSynthSequencer::currentTick()
{
    playerFinished();
    if (!m_playing)
        return m_stoppedTick;
    // Two callbacks after the seek was handed over, the player has surely made it.
    if (seekPending())
        return m_seekTick;
    m_seekTick = -1;
    return std::min(m_tick.load(), toTicks(m_length));
}

SeqValue FluidSynthSequencer::positionSixteenths()
{
    if (!isOpen())
        return SeqValue::failure(SeqResult::failure(kNotOpen));
    return SeqValue::of(toSixteenths(currentTick()));
}

SeqResult FluidSynthSequencer::playFrom(std::int32_t sixteenths)
{
    if (SeqResult moved = seek(sixteenths); !moved)
        return moved;
    return play();
}

SeqResult FluidSynthSequencer::play()
{
    if (!isOpen())
        return SeqResult::failure(kNotOpen);
    if (isPlaying())
        return SeqResult::success();
    const bool freshPlayer = m_needsNewPlayer;
    if (m_needsNewPlayer) {
        if (SeqResult made = makePlayer(false); !made)
            return made;
    }
    const std::int64_t from = m_stoppedTick;
    fluid_player_seek(m_player, static_cast<int>(from));
    m_seekTick = from;
    m_seekCallbacks = m_callbacks.load();
    if (fluid_player_play(m_player) != FLUID_OK)
        return SeqResult::failure(kRejected);
    m_playing = true;
    if (freshPlayer || m_seekCallbacks == 0) {
        // First play of this player: it parses the file now.
        const LoadOutcome outcome = waitForLoad();
        if (outcome != LoadOutcome::Loaded) {
            fluid_player_stop(m_player);
            m_playing = false;
            m_needsNewPlayer = true;
            return SeqResult::failure(outcome == LoadOutcome::Rejected ? kRejected : kNoResponse);
        }
    }
    return SeqResult::success();
}

SeqResult FluidSynthSequencer::stop()
{
    if (!isOpen())
        return SeqResult::failure(kNotOpen);
    if (!isPlaying())
        return SeqResult::success();
    const std::int64_t at = currentTick();
    fluid_player_stop(m_player);
    // Notes still sounding would hang on: the player sends no note-offs.
    fluid_synth_all_notes_off(m_synth, -1);
    m_playing = false;
    m_stoppedTick = at;
    m_seekTick = -1;
    return SeqResult::success();
}

SeqResult FluidSynthSequencer::seek(std::int32_t sixteenths)
{
    if (!isOpen())
        return SeqResult::failure(kNotOpen);
    if (sixteenths < 0 || sixteenths > m_length)
        return SeqResult::failure(kOutOfRange);
    const std::int64_t target = toTicks(sixteenths);
    if (!isPlaying()) {
        m_stoppedTick = target;
        return SeqResult::success();
    }
    // A playing player takes one seek per callback; wait for the previous one.
    const auto deadline = std::chrono::steady_clock::now() + kSeekTimeout;
    while (fluid_player_seek(m_player, static_cast<int>(target)) != FLUID_OK) {
        if (std::chrono::steady_clock::now() >= deadline)
            return SeqResult::failure(kSeekFailed);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_seekTick = target;
    m_seekCallbacks = m_callbacks.load();
    return SeqResult::success();
}

std::int32_t FluidSynthSequencer::toSixteenths(std::int64_t ticks) const
{
    if (m_steadyTimeline)
        return m_steadyTimeline->sixteenthOf(songTickOf(*m_steadyTimeline, ticks));
    return m_division > 0 ? static_cast<std::int32_t>(ticks * 4 / m_division) : 0;
}

std::int64_t FluidSynthSequencer::toTicks(std::int32_t sixteenths) const
{
    if (m_steadyTimeline)
        return steadyTickOf(*m_steadyTimeline, m_steadyTimeline->tickOfSixteenth(sixteenths));
    return static_cast<std::int64_t>(sixteenths) * m_division / 4;
}

} // namespace velkan
