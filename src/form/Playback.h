#pragma once

#include "midi/BeatClock.h"
#include "midi/SharedBeat.h"
#include "platform/PeriodicTimer.h"
#include "platform/Sequencer.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace velkan {

class VelkanView;

// Playing the song and counting its bars and beats: the MIDI load, Start,
// Pause, End, the position bar, and lyric follow's stamp.
//
// The beat timer ticks on its own thread. It advances the BeatClock under a
// mutex held only for the arithmetic, publishes bar and beat as one atomic
// pair, and posts what the boxes and the thumb must show to the UI thread,
// never waiting for it. Each post carries the timer's generation; posts of a
// timer that has since been started anew are dropped.
class Playback : public QObject {
    Q_OBJECT
public:
    using SequencerFactory = std::function<std::unique_ptr<Sequencer>()>;

    explicit Playback(VelkanView &view, QObject *parent = nullptr);
    ~Playback() override;

    // Tests put a fake device in place before the form is built.
    static void setSequencerFactory(SequencerFactory factory);

    void midiLoad();
    void start();
    void pause();
    void end();
    // Stamps a timing line before the caret line; true when the key was used.
    bool lyricFollow(int caretRow);

    bool isSongOpen() const { return m_sequencer->isOpen(); }
    bool isPerforming() const { return m_performing.load(); }
    bool isTimerRunning() const { return m_timer.isRunning(); }
    std::int32_t songLength() const { return m_songLength.load(); }
    std::int32_t currentPosition() const { return m_currentPosition; }
    BeatClock clock() const;
    BarBeat beat() const { return m_beat.read(); }
    Sequencer &sequencer() { return *m_sequencer; }

    // One beat timer tick, as the timer thread runs it (tests call it directly).
    void tick();

private:
    void onPositionAction(int action);
    void onPositionReleased();
    void dragTo(int position);
    void applyTick(std::uint64_t generation, const TickResult &result);
    void endPerformance();
    void stopTimer();
    bool startTimer(std::int64_t periodUs);
    void showBarAndBeat(const BarBeat &beat);
    void setThumb(int position);
    void report(const SeqResult &result);
    std::int32_t readPosition();

    VelkanView &m_view;
    std::unique_ptr<Sequencer> m_sequencer;
    PeriodicTimer m_timer;

    mutable std::mutex m_clockMutex;  // the clock: tick against a drag's locate
    BeatClock m_clock;
    SharedBeat m_beat;
    std::atomic<bool> m_performing{false};
    std::atomic<std::int32_t> m_songLength{0};
    std::atomic<std::uint64_t> m_acceptedGeneration{0};
    std::int32_t m_currentPosition = 0;
};

} // namespace velkan
