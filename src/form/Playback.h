#pragma once

#include "document/ScriptReading.h"
#include "midi/BeatClock.h"
#include "midi/LyricFollow.h"
#include "midi/TapGrid.h"
#include "platform/PeriodicTimer.h"
#include "platform/Sequencer.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace velkan {

class VelkanView;

// The song and its playing: the MIDI load, Start, Pause, End, drags of the
// position, and lyric follow's stamp. It owns the song (its path, timeline,
// length and position) and says through signals what the form should show.
//
// The beat clock runs on the song's timeline from the moment playback starts,
// so the song's bar and beat at any moment are read, not counted. The beat
// timer wakes at each beat's start on its own thread only to tell the UI what
// to show: it reads the clock under a mutex held for the arithmetic alone and
// posts the display to the UI thread, never waiting for it. Each post carries
// the timer's generation; posts of a timer that has since been started anew
// are dropped.
class Playback : public QObject {
    Q_OBJECT
signals:
    // A song was loaded from `path`, or (empty) the song is gone.
    void songChanged(const QString &path);
    // What the form shows of the song; kCleared empties a box.
    void songLengthChanged(int sixteenths);
    void barCountChanged(int lastBar);
    void barShown(int bar);
    void beatShown(int beat);
    void draggedBarShown(int bar);
    // Where the thumb stands; a thumb the author holds moves only when
    // `evenIfHeld` (the release is the author's own seek).
    void thumbMoved(int position, bool evenIfHeld);
    // A performance is about to start: the list takes the keys for lyric follow.
    void starting();
    // The playback speed, in percent of the song's own tempo.
    void speedChanged(int percent);
    // A performance is over: ended, or the song has played to its end.
    void performanceEnded();
    // The unit taps stamp to.
    void stampGridChanged(StampGrid grid);

public:
    static constexpr int kCleared = -1;

    using SequencerFactory = std::function<std::unique_ptr<Sequencer>()>;
    using TimeSource = std::shared_ptr<PeriodicTimer::Clock>;

    explicit Playback(VelkanView &view, QObject *parent = nullptr);
    ~Playback() override;

    // Tests put a fake device and a time source of their own in place before
    // the form is built.
    static void setSequencerFactory(SequencerFactory factory);
    // A device as the form's own is made (for a second, short-lived player).
    static std::unique_ptr<Sequencer> createSequencer();
    // The loaded song's timeline, shared.
    std::shared_ptr<const SongTimeline> sharedTimeline() const { return m_timeline; }
    static void setTimeSourceFactory(std::function<TimeSource()> factory);

    void midiLoad();
    // MIDI読込 of a file already chosen (dropped on the window): the same
    // question about a changed script, messages and undo step.
    void loadSong(const QString &path);
    void start();
    // Plays from the pre-roll (the settings' bars) before `tick`: from the
    // start of the beat that holds that point. A performance under way ends first.
    void startFrom(std::int64_t tick);
    void pause();
    void end();
    // The position bar's thumb is dragged to, or let go at, a position in sixteenths.
    void dragTo(int position);
    void releaseAt(int position);
    // Stamps a timing line before the caret line for a press at `pressTime`;
    // true when the key was used.
    bool lyricFollow(int caretRow, PeriodicTimer::TimePoint pressTime);
    // While set, a Space press hands its stamp here instead of inserting it
    // before the caret line.
    void setTapTaker(std::function<void(const std::string &stamp)> taker);

    bool isSongOpen() const { return m_sequencer->isOpen(); }
    // The loaded song's file, empty when none is.
    const QString &songPath() const { return m_songPath; }
    // The loaded song's time, bars and beats, for bar arithmetic; null when
    // no song has been read.
    const SongTimeline *timeline() const { return m_timeline.get(); }
    // Counts bars and beats by `timeline` as if its song were loaded (tests
    // use it to give the dialogs a song without a device).
    void useTimeline(std::shared_ptr<const SongTimeline> timeline);
    // What the WRD player reads of the loaded song; null when none is loaded.
    const std::shared_ptr<const PlayerSong> &playerSong() const { return m_playerSong; }
    // The song's tick now: where it sounds while playing, where it stands
    // (or the thumb has put it) otherwise.
    std::int64_t songTickNow() const;
    bool isPerforming() const { return m_performing.load(); }

    // Playback speed 50 to 150 % in steps of 5, through the device's own
    // tempo; the clock, the timer and every stamp follow it, also when it
    // changes during playback. Kept in the settings.
    int speedPercent() const { return m_speedPercent; }
    void setSpeedPercent(int percent);
    // The unit a tap stamps to. Kept in the settings.
    StampGrid stampGrid() const { return m_grid; }
    void setStampGrid(StampGrid grid);
    // How late the author's taps come, in ms (measured by the tap latency
    // check). Kept in the settings.
    int tapOffsetMs() const { return m_tapOffsetMs; }
    void setTapOffsetMs(int ms);
    // Takes up the settings again (after 環境設定).
    void reloadSettings();
    // What each tap is read back by: once the author has given an offset,
    // that and the audio output's own delay; before, nothing (a tap reads
    // the beat sounding as it comes).
    std::int64_t tapLatencyNanos() const;
    // The moment of the clock now (the timer's time), and the bar lines and
    // beats a running clock reaches: for measuring taps against what sounds.
    std::int64_t nowNanos() const;
    std::int64_t nanosOfTick(std::int64_t tick) const;
    // The press moment of a key event stamped `timestampMs`, on that clock.
    std::int64_t pressNanos(quint64 timestampMs) const;
    bool isTimerRunning() const { return m_timer.isRunning(); }
    std::int32_t songLength() const { return m_songLength.load(); }
    std::int32_t currentPosition() const { return m_currentPosition; }
    // The clock's bar and beat now.
    BarBeat beat() const;
    Sequencer &sequencer() { return *m_sequencer; }

private:
    std::optional<PeriodicTimer::TimePoint> tick();
    void applyTick(std::uint64_t generation, const BeatStart &start);
    void endPerformance();
    void holdClockAt(std::int64_t nanos);
    void stopTimer();
    bool runClockFrom(std::int64_t fromTick);
    void showBarAndBeat(const BarBeat &beat);
    void setThumb(int position);
    void report(const SeqResult &result);
    std::int32_t readPosition();
    void playFromPosition(std::int32_t position);
    void rescheduleTimer();

    VelkanView &m_view;
    std::unique_ptr<Sequencer> m_sequencer;
    PeriodicTimer m_timer;
    std::shared_ptr<const SongTimeline> m_timeline;
    std::shared_ptr<const PlayerSong> m_playerSong;
    QString m_songPath;

    mutable std::mutex m_clockMutex; // the clock: the timer thread against the UI
    BeatClock m_clock;
    std::int64_t m_nextBeatTick = 0; // the beat start the timer waits for
    std::atomic<bool> m_performing{false};
    std::atomic<std::int32_t> m_songLength{0};
    std::atomic<std::uint64_t> m_acceptedGeneration{0};
    std::int32_t m_currentPosition = 0;
    int m_speedPercent = 100;
    StampGrid m_grid = StampGrid::Quarter;
    int m_tapOffsetMs = 0;
    bool m_tapOffsetGiven = false;
    std::function<void(const std::string &)> m_tapTaker;
};

} // namespace velkan
