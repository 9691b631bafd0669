// The beat timer's punctuality: 2,000 ticks at 20 ms on the steady clock.
// Prints how late the ticks enter (p50, p90, p99, p99.9, max) against start + n x period
// and how far the last one lands from start + 2,000 x period.
// Targets: p99 < 1 ms; last tick within 2 ms.
#include "platform/PeriodicTimer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <vector>

using namespace std::chrono;

int main(int argc, char **argv)
{
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::int64_t periodUs = argc > 2 ? std::atoll(argv[2]) : 20'000;

    velkan::PeriodicTimer timer;
    std::vector<steady_clock::time_point> entries;
    entries.reserve(static_cast<std::size_t>(ticks));
    std::promise<void> done;
    std::printf("%d ticks at %lld us (about %.0f s)...\n", ticks, static_cast<long long>(periodUs),
                ticks * periodUs / 1e6);
    const auto start = steady_clock::now();
    if (!timer.start(periodUs, [&] {
            entries.push_back(steady_clock::now());
            if (static_cast<int>(entries.size()) == ticks) {
                timer.requestStop();
                done.set_value();
            }
        })) {
        std::printf("timer did not start\n");
        return 1;
    }
    done.get_future().wait();
    timer.stop();

    std::vector<double> lateUs;
    for (int n = 1; n <= ticks; ++n) {
        const auto due = start + microseconds(n * periodUs);
        lateUs.push_back(duration<double, std::micro>(entries[n - 1] - due).count());
    }
    const double lastErrorUs = lateUs.back();
    std::vector<double> sorted = lateUs;
    std::sort(sorted.begin(), sorted.end());
    const auto pct = [&](double p) {
        return sorted[static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1))];
    };
    std::printf("late tick   p50 %8.1f us   p90 %8.1f us   p99 %8.1f us   p99.9 %8.1f us   "
                "max %8.1f us   min %8.1f us\n",
                pct(0.50), pct(0.90), pct(0.99), pct(0.999), sorted.back(), sorted.front());
    std::printf("last tick   %+.1f us from start + %d x period\n", lastErrorUs, ticks);
    const bool ok = pct(0.99) < 1000.0 && std::abs(lastErrorUs) <= 2000.0;
    std::printf("targets (p99 < 1 ms, last within 2 ms): %s\n", ok ? "met" : "MISSED");
    return 0;
}
