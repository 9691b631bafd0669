#include "platform/PeriodicTimer.h"

#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

using namespace std::chrono_literals;
using velkan::PeriodicTimer;

namespace {

using TimePoint = PeriodicTimer::TimePoint;
using Us = std::chrono::microseconds;

// Time that moves only when the timer sleeps (to the deadline, plus a set
// lateness) or when a tick says it took a while.
class StepClock final : public PeriodicTimer::Clock {
public:
    explicit StepClock(Us lateness = 0us) : m_lateness(lateness) {}

    TimePoint now() override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void sleepUntil(TimePoint deadline, std::stop_token) override
    {
        std::lock_guard lock(m_mutex);
        m_deadlines.push_back(deadline);
        if (deadline > m_now)
            m_now = deadline + m_lateness;
    }
    void advance(Us by)
    {
        std::lock_guard lock(m_mutex);
        m_now += by;
    }
    std::vector<TimePoint> deadlines()
    {
        std::lock_guard lock(m_mutex);
        return m_deadlines;
    }

private:
    std::mutex m_mutex;
    TimePoint m_now{}; // the clock's epoch: times below are offsets from it
    Us m_lateness;
    std::vector<TimePoint> m_deadlines;
};

long long offsetUs(TimePoint t)
{
    return std::chrono::duration_cast<Us>(t.time_since_epoch()).count();
}

// Runs `ticks` ticks on a StepClock; `onTick(n)` runs inside tick n (from 1).
// Returns the clock time at which each tick was entered, in µs.
std::vector<long long> runTicks(PeriodicTimer &timer, StepClock &clock, std::int64_t periodUs,
                                int ticks, const std::function<void(int)> &onTick = {})
{
    std::vector<long long> entries;
    std::promise<void> done;
    int count = 0;
    EXPECT_TRUE(timer.start(periodUs, [&] {
        entries.push_back(offsetUs(clock.now()));
        ++count;
        if (onTick)
            onTick(count);
        if (count == ticks) {
            timer.requestStop();
            done.set_value();
        }
    }));
    EXPECT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
    timer.stop();
    return entries;
}

} // namespace

TEST(PeriodicTimerTest, TicksFallOnAbsoluteDeadlinesWhateverTheLatenessAndTickCost)
{
    struct Case {
        Us lateness;
        Us tickCost;
    };
    for (const Case c : {Case{0us, 0us}, Case{700us, 0us}, Case{300us, 4000us}}) {
        auto clock = std::make_shared<StepClock>(c.lateness);
        PeriodicTimer timer(clock);
        const auto entries =
            runTicks(timer, *clock, 10'000, 50, [&](int) { clock->advance(c.tickCost); });
        ASSERT_EQ(entries.size(), 50u);
        for (int n = 1; n <= 50; ++n)
            EXPECT_EQ(entries[n - 1], n * 10'000 + c.lateness.count())
                << "tick " << n << " lateness " << c.lateness.count();
    }
}

TEST(PeriodicTimerTest, MissedDeadlinesAreCaughtUpAndTheGridKept)
{
    auto clock = std::make_shared<StepClock>();
    PeriodicTimer timer(clock);
    // Tick 1 takes 35 ms of a 10 ms period: ticks 2-4 are due by its end.
    const auto entries = runTicks(timer, *clock, 10'000, 6, [&](int n) {
        if (n == 1)
            clock->advance(35ms);
    });
    EXPECT_EQ(entries, (std::vector<long long>{10'000, 45'000, 45'000, 45'000, 50'000, 60'000}));
}

TEST(PeriodicTimerTest, PeriodChangedInsideTheTickCountsFromThatTicksDeadline)
{
    auto clock = std::make_shared<StepClock>(500us);
    PeriodicTimer timer(clock);
    const auto entries = runTicks(timer, *clock, 10'000, 6, [&](int n) {
        if (n == 3)
            timer.setPeriod(25'000);
        if (n == 5)
            timer.setPeriod(461'538); // a tempo in whole microseconds stays exact
    });
    EXPECT_EQ(entries, (std::vector<long long>{10'500, 20'500, 30'500, 55'500, 80'500, 542'038}));
    EXPECT_EQ(timer.periodUs(), 461'538);
}

TEST(PeriodicTimerTest, PeriodNeverUnderOneMillisecond)
{
    for (const std::int64_t asked : {-5LL, 0LL, 1LL, 999LL}) {
        auto clock = std::make_shared<StepClock>();
        PeriodicTimer timer(clock);
        const auto entries = runTicks(timer, *clock, asked, 3);
        EXPECT_EQ(entries, (std::vector<long long>{1000, 2000, 3000})) << asked;
        EXPECT_EQ(timer.periodUs(), 1000);
        timer.setPeriod(10);
        EXPECT_EQ(timer.periodUs(), 1000);
    }
}

TEST(PeriodicTimerTest, StopFromInsideTheTickEndsWithoutDeadlock)
{
    auto clock = std::make_shared<StepClock>();
    PeriodicTimer timer(clock);
    std::atomic<int> ticks{0};
    std::promise<void> stopped;
    ASSERT_TRUE(timer.start(1000, [&] {
        if (++ticks == 3) {
            timer.stop(); // must not join its own thread
            EXPECT_FALSE(timer.isRunning());
            stopped.set_value();
        }
    }));
    ASSERT_EQ(stopped.get_future().wait_for(10s), std::future_status::ready);
    timer.stop();
    EXPECT_EQ(ticks.load(), 3); // the step clock never waits: more ticks would show
    EXPECT_FALSE(timer.isRunning());
}

TEST(PeriodicTimerTest, EveryStartMakesANewGenerationAndStartInsideTheTickIsRefused)
{
    auto clock = std::make_shared<StepClock>();
    PeriodicTimer timer(clock);
    const auto before = timer.generation();
    std::promise<bool> restarted;
    ASSERT_TRUE(timer.start(1000, [&] {
        timer.requestStop();
        restarted.set_value(timer.start(1000, [] {}));
    }));
    EXPECT_FALSE(restarted.get_future().get());
    EXPECT_EQ(timer.generation(), before + 1);
    ASSERT_TRUE(timer.start(5000, [&] { timer.requestStop(); })); // restart after a stop
    EXPECT_EQ(timer.generation(), before + 2);
    ASSERT_TRUE(timer.start(5000, [&] { timer.requestStop(); })); // restart without one
    EXPECT_EQ(timer.generation(), before + 3);
    EXPECT_FALSE(timer.start(5000, {}));
    timer.stop();
}

// Real time from here on: only orderings and generous bounds are checked.

TEST(PeriodicTimerTest, StopFromAnotherThreadReturnsOnlyWhenNoTickCanRun)
{
    PeriodicTimer timer;
    std::atomic<bool> inTick{false};
    std::atomic<int> ticks{0};
    std::promise<void> firstTick;
    ASSERT_TRUE(timer.start(1000, [&] {
        inTick = true;
        if (++ticks == 1)
            firstTick.set_value();
        std::this_thread::sleep_for(5ms);
        inTick = false;
    }));
    firstTick.get_future().wait();
    timer.stop();
    EXPECT_FALSE(inTick.load());
    EXPECT_FALSE(timer.isRunning());
    const int afterStop = ticks.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ticks.load(), afterStop);
}

TEST(PeriodicTimerTest, StopDoesNotWaitOutALongPeriod)
{
    PeriodicTimer timer;
    ASSERT_TRUE(timer.start(60'000'000, [] {}));
    const auto before = std::chrono::steady_clock::now();
    timer.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
}

// Restarting while a slow tick runs: the new timer's ticks never run beside
// the old one's (start joins the old thread before the new one begins).
TEST(PeriodicTimerTest, SlowTicksNeverOverlapAcrossARestart)
{
    PeriodicTimer timer;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> ticks{0};
    std::promise<void> slowTickEntered;
    std::atomic<bool> entered{false};
    const auto tick = [&](std::chrono::milliseconds cost) {
        return [&, cost] {
            if (++inside > 1)
                ++overlaps;
            if (!entered.exchange(true))
                slowTickEntered.set_value();
            std::this_thread::sleep_for(cost);
            ++ticks;
            --inside;
        };
    };
    ASSERT_TRUE(timer.start(1000, tick(50ms)));
    slowTickEntered.get_future().wait();
    // The old tick is inside its 50 ms; the new timer would tick after 1 ms.
    ASSERT_TRUE(timer.start(1000, tick(0ms)));
    std::this_thread::sleep_for(30ms);
    timer.stop();
    EXPECT_GT(ticks.load(), 3);
    EXPECT_EQ(overlaps.load(), 0);
}

TEST(PeriodicTimerTest, ScheduledTicksFallOnTheDeadlinesTheyName)
{
    auto clock = std::make_shared<StepClock>(200us);
    PeriodicTimer timer(clock);
    // Uneven beats, as a song's tempo changes make them; a deadline already
    // past is run at once; nothing ends the timer.
    const std::vector<long long> wanted{5'000, 12'000, 12'500, 30'000, 31'000};
    std::vector<long long> entries;
    std::promise<void> done;
    std::size_t n = 0;
    ASSERT_TRUE(timer.startScheduled(TimePoint(Us(wanted[0])), [&]() -> std::optional<TimePoint> {
        entries.push_back(offsetUs(clock->now()));
        if (n == 1)
            clock->advance(Us(1000)); // a slow tick: the next deadline is past
        if (++n == wanted.size()) {
            done.set_value();
            return std::nullopt;
        }
        return TimePoint(Us(wanted[n]));
    }));
    ASSERT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timer.isRunning(); }, 2000));
    timer.stop();
    EXPECT_EQ(entries, (std::vector<long long>{5'200, 12'200, 13'200, 30'200, 31'200}));
}

TEST(PeriodicTimerTest, RealTicksAreNeverEarly)
{
    PeriodicTimer timer;
    std::vector<std::chrono::steady_clock::time_point> entries;
    std::promise<void> done;
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(timer.start(20'000, [&] {
        entries.push_back(std::chrono::steady_clock::now());
        if (entries.size() == 10) {
            timer.requestStop();
            done.set_value();
        }
    }));
    ASSERT_EQ(done.get_future().wait_for(5s), std::future_status::ready);
    timer.stop();
    for (std::size_t n = 1; n <= entries.size(); ++n)
        EXPECT_GE(entries[n - 1] - begin, n * 20ms) << "tick " << n;
    EXPECT_LT(entries.back() - begin, 200ms + 500ms); // loaded machine: generous
}
