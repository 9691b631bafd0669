#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace velkan {

// A timer on its own thread, the beat clock's heartbeat.
//
// Ticks fall on absolute deadlines: start + n x period, or in scheduled mode
// whatever deadline each tick names for the next one (the beat clock names the
// next beat's start on the song's timeline). A late wake-up or a slow tick
// does not push the following ones back, so the clock keeps step with the
// music over a whole song. When the thread falls behind it fires the missed
// ticks back to back rather than dropping them. On the steady clock the wait
// for a deadline ends a little before it and yields the rest away, so a tick
// enters within some microseconds of its deadline rather than the tenth of a
// millisecond or more a sleeping thread takes to be woken.
//
// Threads: start(), stop() and the destructor are for the controlling (UI)
// thread. setPeriod(), requestStop(), isRunning(), generation() and periodUs()
// may be called from any thread, including from inside the tick. stop() from
// inside the tick acts as requestStop(): the thread cannot join itself.
// Ticks never overlap: one thread runs them one after the other.
class PeriodicTimer {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Callback = std::function<void()>;
    // Runs one tick and names the next deadline; nothing ends the timer.
    using ScheduledCallback = std::function<std::optional<TimePoint>()>;

    // The time source. The default one is the steady clock; tests inject one
    // that moves time forward without sleeping.
    class Clock {
    public:
        virtual ~Clock() = default;
        virtual TimePoint now() = 0;
        // Returns at the deadline, or earlier once a stop is requested on `stop`.
        virtual void sleepUntil(TimePoint deadline, std::stop_token stop) = 0;
    };

    static constexpr std::int64_t minimumPeriodUs = 1000;

    explicit PeriodicTimer(std::shared_ptr<Clock> clock = {});
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer &) = delete;
    PeriodicTimer &operator=(const PeriodicTimer &) = delete;

    // Starts ticking every periodUs microseconds (at least minimumPeriodUs),
    // the first tick one period from now. A running timer is stopped first.
    // Every start makes a new generation. False when the callback is empty,
    // when called from inside the tick (use setPeriod there), or when no
    // thread can be made.
    bool start(std::int64_t periodUs, Callback callback);
    // Scheduled mode: the first tick at `firstDeadline`, each later one at the
    // deadline the tick before returned. Otherwise as start().
    bool startScheduled(TimePoint firstDeadline, ScheduledCallback callback);

    // Returns once no tick can still run (joins the thread). From inside the
    // tick it only requests the stop, which takes effect when the tick returns.
    void stop();

    // Asks the thread to end after the current tick; does not wait.
    void requestStop();

    // Periodic mode: the next deadline becomes the current one + periodUs (clamped to the
    // minimum). From inside the tick, the current deadline is that tick's; from
    // another thread the change applies after the deadline being waited for.
    void setPeriod(std::int64_t periodUs);

    std::int64_t periodUs() const { return m_periodUs.load(); }
    bool isRunning() const { return m_running.load(); }
    // Changes at every start; posted updates carry it so that the UI can drop
    // those of a timer that has been stopped and started again.
    std::uint64_t generation() const { return m_generation.load(); }
    // True on the timer's thread while it runs this timer's ticks.
    bool isTimerThread() const;

    static std::int64_t clampPeriod(std::int64_t periodUs);

    // The time source's present moment.
    TimePoint now() const { return m_clock->now(); }

private:
    void run(std::stop_token stop, TimePoint firstDeadline);
    void joinLocked();
    bool launch(TimePoint firstDeadline, ScheduledCallback callback);

    std::shared_ptr<Clock> m_clock;
    std::mutex m_controlMutex; // serialises start/stop between controlling threads
    std::thread m_thread;
    // Made before the thread and replaced only after it is joined, so the tick
    // can use it without a lock.
    std::stop_source m_stopSource;
    ScheduledCallback m_callback;
    std::atomic<std::int64_t> m_periodUs{minimumPeriodUs};
    std::atomic<bool> m_running{false};
    std::atomic<std::uint64_t> m_generation{0};
};

} // namespace velkan
