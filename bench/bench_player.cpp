// The player's reading and the script check: a 1,000,000-line script read
// and checked beside a song with meter and tempo changes (target < 1 s), and
// the check of a 10,000-line script as after each edit (target < 50 ms).
#include "midi/SongTimeline.h"
#include "player/PlayerReading.h"
#include "player/ScriptCheck.h"
#include "script/ScriptLines.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
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
    return 0;
}
