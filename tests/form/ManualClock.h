#pragma once

#include "platform/PeriodicTimer.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace velkan::test {

// Time that moves only when a test moves it. The beat timer sleeps on it like
// on the real clock, so moving time runs the timer's real ticks on its thread.
class ManualClock final : public PeriodicTimer::Clock {
public:
    using TimePoint = PeriodicTimer::TimePoint;
    // Far from the steady clock's own values, so that no window-system stamp
    // is ever taken for a moment of this clock.
    static constexpr TimePoint kEpoch = TimePoint(std::chrono::hours(24 * 365 * 40));

    TimePoint now() override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void sleepUntil(TimePoint deadline, std::stop_token stop) override
    {
        std::unique_lock lock(m_mutex);
        ++m_sleepers;
        m_deadline = deadline;
        m_wake.wait(lock, stop, [&] { return m_now >= deadline; });
        --m_sleepers;
    }

    // Moves time on, then returns once the timer has run every tick due by
    // then: it sleeps toward a later deadline, or has ended (`running` false).
    void advance(std::chrono::nanoseconds by, const std::function<bool()> &running)
    {
        {
            std::lock_guard lock(m_mutex);
            m_now += by;
        }
        m_wake.notify_all();
        settle(running);
    }
    // Moves time on without waking the timer: it finds out at its next wake.
    void jump(std::chrono::nanoseconds by)
    {
        std::lock_guard lock(m_mutex);
        m_now += by;
    }
    void advanceMs(double ms, const std::function<bool()> &running)
    {
        advance(std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1e6)), running);
    }
    void settle(const std::function<bool()> &running)
    {
        for (int i = 0; i < 4000; ++i) {
            {
                std::lock_guard lock(m_mutex);
                if (m_sleepers > 0 && m_deadline > m_now)
                    return;
            }
            if (!running())
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    // Threads waiting on this clock now.
    int sleepers()
    {
        std::lock_guard lock(m_mutex);
        return m_sleepers;
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    TimePoint m_now = kEpoch;
    TimePoint m_deadline{};
    int m_sleepers = 0;
};

} // namespace velkan::test
