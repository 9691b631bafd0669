#pragma once

#include "midi/SongTimeline.h"

#include <cstdint>
#include <memory>

namespace velkan {

// The beat clock: where the song stands, in bars and beats of its timeline.
//
// It either stands at a tick (before a start, paused, ended, or put somewhere
// by a drag) or runs from a tick that began to sound at a known moment; then
// any moment's position is read through the timeline, so nothing can fall
// behind the music. A run stops by itself at the song's end: the first bar
// line after its start at or past the song's length.
//
// A run may play slower or faster than written: at speed s the song moves s
// nanoseconds for each nanosecond of the caller's clock (1 as written; the
// editor plays 0.5 to 1.5). The speed is kept in millionths.
//
// Moments are nanoseconds of the caller's steady clock. Plain data: the caller
// keeps it from being read and written at once.
class BeatClock {
public:
    // Without a song the clock stands at bar 0, beat 0.
    void setTimeline(std::shared_ptr<const SongTimeline> timeline);
    const SongTimeline *timeline() const { return m_timeline.get(); }
    bool hasSong() const { return m_timeline != nullptr; }

    // Stands at `tick`. Returns the number of bars completed before it.
    std::int32_t locate(std::int64_t tick);
    // Runs from `tick`, which sounds at `atNanos`, in a song `songLength`
    // sixteenths long, at `speed`.
    void runFrom(std::int64_t tick, std::int64_t atNanos, std::int32_t songLength,
                 double speed = 1.0);
    // Stops where the song stands at `nowNanos`.
    void holdAt(std::int64_t nowNanos);

    // Running: from `atNanos` on the song moves at `speed`, on from exactly
    // where it stood then (in nanoseconds of the song, not a rounded tick);
    // moments before it still read the old speed. Standing: kept as speed()
    // for the next run. A speed not above 0 (or not a number) is taken as 1.
    void setSpeed(double speed, std::int64_t atNanos);
    // Running: the device took the new speed up where the song stood at
    // `songNanos` (its time as written, from the song's start), which is not
    // quite where it stood at the moment of the change, `atNanos`. The run
    // goes at the old speed up to the moment it reaches that place and at
    // `speed` from there, as the music does. A place before the run's last
    // change is taken as that change's; one the run does not reach within
    // kSpeedChangeReach of `atNanos` is not believed: the change holds from
    // `atNanos` then, as setSpeed has it. Standing: as setSpeed.
    void setSpeedFrom(double speed, std::int64_t songNanos, std::int64_t atNanos);
    double speed() const;

    bool isRunning() const { return m_running; }
    // The tick the clock stands at or started from.
    std::int64_t originTick() const { return m_tick; }
    // Where a run ends (meaningful while running).
    std::int64_t endTick() const { return m_endTick; }

    // The song's tick at a moment: never before the start of the run, never
    // past its end.
    std::int64_t tickAt(std::int64_t nowNanos) const;
    // The beat sounding at a moment; bar and beat 0 without a song.
    BeatPlace beatAt(std::int64_t nowNanos) const;
    // The moment a tick of the run sounds: the first moment tickAt reads it.
    std::int64_t nanosOf(std::int64_t tick) const;

    static constexpr std::int64_t kSpeedUnit = 1'000'000; // millionths
    // How far from the moment of a speed change the device's place of it may
    // lie: a few blocks of samples and the start-up of the player, with room.
    static constexpr std::int64_t kSpeedChangeReach = 100'000'000; // 100 ms

private:
    // The song's time `nowNanos`, counted from the anchor at the run's speed.
    std::int64_t songNanosAt(std::int64_t nowNanos) const;

    std::shared_ptr<const SongTimeline> m_timeline;
    bool m_running = false;
    std::int64_t m_tick = 0;           // where it stands, or where the run started
    std::int64_t m_startNanos = 0;     // the anchor: a moment of the run...
    std::int64_t m_songNanos = 0;      // ...and its time in the song
    std::int64_t m_speed = kSpeedUnit; // millionths
    // The speed before the anchor, for moments before it; 0 at the run's
    // start (they read the start).
    std::int64_t m_speedBefore = 0;
    std::int64_t m_endTick = 0;
};

// What the beat timer does when a beat starts.
struct BeatStart {
    BeatPlace beat;
    bool barChanged = false;        // a bar line: show the bar, move the thumb
    std::int32_t thumbPosition = 0; // sixteenths, when barChanged
    bool songEnded = false;         // the run's end: stop, end the performance
};
BeatStart beatStarting(const BeatClock &clock, std::int64_t beatTick);

// The first bar line after `from` that lies at or past `songLength`
// sixteenths: where the performance ends.
std::int64_t songEndTick(const SongTimeline &timeline, std::int64_t from, std::int32_t songLength);

// Where a resume plays from: the start of the beat holding the device
// position, as the device can seek to it (sixteenths).
struct ResumePlan {
    std::int32_t seekPosition = 0; // sixteenths
    std::int64_t startTick = 0;    // the tick that position is
};
ResumePlan resumePlan(const SongTimeline &timeline, std::int32_t devicePosition);

} // namespace velkan
