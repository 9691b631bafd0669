#include "platform/PeriodicTimer.h"

#include <condition_variable>
#include <system_error>

namespace velkan {

namespace {

constexpr auto kEarlyWake = std::chrono::microseconds(400);

class SteadyClock final : public PeriodicTimer::Clock {
public:
    PeriodicTimer::TimePoint now() override { return std::chrono::steady_clock::now(); }

    void sleepUntil(PeriodicTimer::TimePoint deadline, std::stop_token stop) override
    {
        // A condition variable wait (CLOCK_MONOTONIC underneath) that a stop
        // request cuts short, so stop() never waits out a long period. The
        // kernel wakes a sleeper a tenth to a quarter of a millisecond late,
        // so the wait ends a little early and the rest is spent yielding:
        // the tick then starts within microseconds of its deadline, at the
        // cost of a fraction of a millisecond of one core per tick.
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_until(lock, stop, deadline - kEarlyWake, [] { return false; });
        }
        while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
};

// The timer whose ticks the current thread runs, so that stop() and start()
// can tell a call from inside the tick.
thread_local const PeriodicTimer *t_tickingTimer = nullptr;

} // namespace

PeriodicTimer::PeriodicTimer(std::shared_ptr<Clock> clock)
    : m_clock(clock ? std::move(clock) : std::make_shared<SteadyClock>())
{
}

PeriodicTimer::~PeriodicTimer()
{
    stop();
}

std::int64_t PeriodicTimer::clampPeriod(std::int64_t periodUs)
{
    return periodUs < minimumPeriodUs ? minimumPeriodUs : periodUs;
}

bool PeriodicTimer::isTimerThread() const
{
    return t_tickingTimer == this;
}

bool PeriodicTimer::start(std::int64_t periodUs, Callback callback)
{
    if (!callback || isTimerThread())
        return false;
    m_periodUs = clampPeriod(periodUs);
    const TimePoint first = m_clock->now() + std::chrono::microseconds(m_periodUs.load());
    // The deadline grid lives in the tick: each one counts from the last, at
    // the period in force when the tick returns (setPeriod inside it included).
    return launch(first, [this, callback = std::move(callback), deadline = first]() mutable {
        callback();
        deadline += std::chrono::microseconds(m_periodUs.load());
        return std::optional<TimePoint>(deadline);
    });
}

bool PeriodicTimer::startScheduled(TimePoint firstDeadline, ScheduledCallback callback)
{
    if (!callback)
        return false;
    return launch(firstDeadline, std::move(callback));
}

bool PeriodicTimer::launch(TimePoint firstDeadline, ScheduledCallback callback)
{
    if (isTimerThread())
        return false;
    std::lock_guard lock(m_controlMutex);
    joinLocked();
    m_callback = std::move(callback);
    ++m_generation;
    m_stopSource = std::stop_source();
    try {
        m_running = true;
        m_thread = std::thread(
            [this, stop = m_stopSource.get_token(), firstDeadline] { run(stop, firstDeadline); });
    } catch (const std::system_error &) {
        m_running = false;
        return false;
    }
    return true;
}

void PeriodicTimer::joinLocked()
{
    m_running = false;
    m_stopSource.request_stop();
    if (m_thread.joinable())
        m_thread.join();
}

void PeriodicTimer::stop()
{
    if (isTimerThread()) {
        requestStop();
        return;
    }
    std::lock_guard lock(m_controlMutex);
    joinLocked();
}

void PeriodicTimer::requestStop()
{
    if (isTimerThread()) {
        // The stop source cannot change while this thread runs: start() and
        // stop() join it first.
        m_running = false;
        m_stopSource.request_stop();
        return;
    }
    std::lock_guard lock(m_controlMutex);
    m_running = false;
    m_stopSource.request_stop();
}

void PeriodicTimer::setPeriod(std::int64_t periodUs)
{
    m_periodUs = clampPeriod(periodUs);
}

void PeriodicTimer::run(std::stop_token stop, TimePoint firstDeadline)
{
    t_tickingTimer = this;
    TimePoint deadline = firstDeadline;
    while (!stop.stop_requested() && m_running.load()) {
        m_clock->sleepUntil(deadline, stop);
        if (stop.stop_requested() || !m_running.load())
            break;
        if (m_clock->now() < deadline)
            continue; // woken early: wait out the rest
        // Deadlines are absolute: lateness never accumulates.
        const std::optional<TimePoint> next = m_callback();
        if (!next)
            break;
        deadline = *next;
    }
    m_running = false;
    t_tickingTimer = nullptr;
}

} // namespace velkan
