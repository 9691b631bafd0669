// The player's reading and the script check: a 1,000,000-line script read
// and checked beside a song with meter and tempo changes (target < 1 s), and
// the check of a 10,000-line script as after each edit (target < 50 ms).
// Then the preview: the player's screen at any tick or line of a 100,000-line
// script from its screen timeline (target: worst call < 5 ms), at the
// timeline's spacing of 256 events and at 64 and 1024 beside it.
#include "BenchScripts.h"
#include "midi/SongTimeline.h"
#include "player/PlayerReading.h"
#include "player/PlayerScreen.h"
#include "player/ScriptCheck.h"
#include "script/ScriptLines.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace std::chrono;
using namespace velkan;

namespace {

// A script as an author's looks after tapping and layout: the header, then
// per lyric a stamp, a place, a colour and the lyric, bars moving on.
std::string makeScript(int lines)
{
    std::string text =
        "@STARTUP(427) @GON(1) @TON(1) @WMODE(23) @GCLS();\r\n"
        "@PAL(#1,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);\r\n";
    const char *const lyrics[] = {"\x82\xa0\x82\xb3\x82\xcc \x82\xd0\x82\xa9\x82\xe8\x82\xaa",
                                  "lyric line with plain letters", "\x82\xa9\x82\xba\x82\xaa"};
    int made = 2;
    for (int i = 0; made < lines - 1; ++i) {
        text +=
            "@WAIT(" + std::to_string(2 + i / 2) + "," + std::to_string((i % 2) * 96) + ");\r\n";
        text += "@LOCATE(" + std::to_string(1 + i % 24) + ";5);\r\n";
        text += "@COLOR(3" + std::to_string(i % 8) + ");\r\n";
        text += std::string(lyrics[i % 3]) + "\r\n";
        made += 4;
    }
    text += "@END();\r\n";
    return text;
}

SongTimeline makeSong(std::vector<TimeSignatureEvent> &signatures)
{
    std::vector<TempoEvent> tempos;
    for (int i = 0; i < 200; ++i)
        tempos.push_back(
            {std::int64_t{i} * 7680, 400000u + static_cast<std::uint32_t>(i % 7) * 30000u});
    signatures = {{0, 4, 2}, {1920 * 40, 3, 2}, {1920 * 80, 6, 3}, {1920 * 120, 4, 2}};
    return SongTimeline(480, std::move(tempos), signatures);
}

template <class F> double medianMs(int rounds, F &&run)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto start = steady_clock::now();
        run();
        times.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char *what, double ms, double target)
{
    std::printf("  %-58s median %9.3f ms  (target < %.0f ms: %s)\n", what, ms, target,
                ms < target ? "met" : "MISSED");
}

// Mean, 99th percentile and worst of one call at each of `points`.
template <class P, class F>
void reportCalls(const char *what, const std::vector<P> &points, F &&call)
{
    std::vector<double> times;
    for (const P &p : points) {
        const auto start = steady_clock::now();
        call(p);
        times.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
    }
    double total = 0;
    for (const double ms : times)
        total += ms;
    std::sort(times.begin(), times.end());
    const double worst = times.back();
    std::printf("  %-34s mean %6.3f, p99 %6.3f, worst %6.3f ms  (target worst < 5 ms: %s)\n", what,
                total / static_cast<double>(times.size()), times[times.size() * 99 / 100], worst,
                worst < 5 ? "met" : "MISSED");
}

void previewRows(const std::shared_ptr<const PlayerReading> &reading, std::size_t lines)
{
    const std::vector<PlayerEvent> &events = reading->events;
    std::mt19937_64 random(7);
    std::vector<std::int64_t> ticks(2000);
    std::uniform_int_distribution<std::int64_t> anyTick(0, events.back().tick);
    for (std::int64_t &t : ticks)
        t = anyTick(random);
    std::vector<std::size_t> atLines(2000);
    std::uniform_int_distribution<std::size_t> anyLine(0, lines - 1);
    for (std::size_t &l : atLines)
        l = anyLine(random);

    for (const std::size_t spacing : {std::size_t{64}, std::size_t{256}, std::size_t{1024}}) {
        std::unique_ptr<PlayerScreenTimeline> timeline;
        const double build = medianMs(
            5, [&] { timeline = std::make_unique<PlayerScreenTimeline>(reading, spacing); });
        const std::size_t checkpoints = events.size() / spacing + 1;
        std::printf("spacing %zu: built in %.1f ms, %zu checkpoints x %zu bytes = %.1f MB\n",
                    spacing, build, checkpoints, sizeof(PlayerScreen),
                    static_cast<double>(checkpoints * sizeof(PlayerScreen)) / 1e6);
        // Something from each screen, so that no call can be left out.
        std::size_t seen = 0;
        reportCalls("at(tick), 2,000 random ticks", ticks,
                    [&](std::int64_t t) { seen += timeline->at(t).cursorRow(); });
        reportCalls("atLine(line), 2,000 random lines", atLines,
                    [&](std::size_t l) { seen += timeline->atLine(l).cursorColumn(); });
        std::printf("  (cursor sum %zu)\n", seen);
    }
}

} // namespace

int main()
{
    std::vector<TimeSignatureEvent> signatures;
    const SongTimeline song = makeSong(signatures);
    const std::int64_t songEnd = std::int64_t{1920} * 300000; // past the last stamp

    const ScriptLines big = ScriptLines::fromText(makeScript(1000000));
    std::size_t events = 0;
    std::size_t findings = 0;
    std::printf("%zu lines beside a song with 200 tempo and 4 meter changes:\n", big.size());
    report(
        "reading",
        medianMs(5, [&] { events = readAsPlayer(big, &song, songEnd, &signatures).events.size(); }),
        1000);
    report("check (its own reading included)",
           medianMs(5, [&] { findings = checkScript(big, &song, songEnd, &signatures).size(); }),
           1000);
    std::printf("  (%zu events, %zu findings)\n", events, findings);

    const ScriptLines small = ScriptLines::fromText(makeScript(10000));
    std::printf("%zu lines, as after an edit:\n", small.size());
    report("check",
           medianMs(21, [&] { findings = checkScript(small, &song, songEnd, &signatures).size(); }),
           50);
    std::printf("  (%zu findings)\n", findings);

    const ScriptLines screenScript = ScriptLines::fromText(bench::makeScreenScript(100000));
    std::shared_ptr<const PlayerReading> reading;
    const double read = medianMs(5, [&] {
        reading = std::make_shared<const PlayerReading>(
            readAsPlayer(screenScript, &song, songEnd, &signatures));
    });
    std::size_t fadeSteps = 0;
    for (const PlayerEvent &e : reading->events)
        fadeSteps += e.kind == PlayerEventKind::FadeStep;
    std::printf("the preview of %zu lines (%zu events, %zu of them fade steps, read in %.1f ms):\n",
                screenScript.size(), reading->events.size(), fadeSteps, read);
    previewRows(reading, screenScript.size());
    return 0;
}
