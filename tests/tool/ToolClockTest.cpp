#include "ToolRun.h"

#include "midi/MidiBytes.h"
#include "midi/SmfBuilder.h"
#include "midi/TrackWalker.h"

#include <algorithm>
#include <cstdio>

namespace velkan::test {
namespace {

constexpr int kDivision = 480;

// Delta-times in quarter notes.
constexpr std::uint32_t q(double quarters)
{
    return static_cast<std::uint32_t>(quarters * kDivision);
}

std::string song(TrackBuilder track)
{
    return smf(kDivision, {track.endOfTrack()});
}

TEST(ToolClock, PrintsTheLineASpacePressStampsAtEachMoment)
{
    struct Case {
        const char *name;
        std::string image;
        std::vector<std::pair<std::string, std::string>> stamps; // ms, line
    };
    const std::vector<Case> cases = {
        {"two tempo events on tick 0: the second holds (250 ms)",
         song(TrackBuilder().tempo(0, 1000000).tempo(0, 250000).note(q(40), 60)),
         {{"100", "@WAIT(1,0);"},
          {"260", "@WAIT(1,48);"},
          {"999", "@WAIT(1,144);"},
          {"1001", "@WAIT(2,0);"}}},
        {"250 ms from quarter 2.5: quarter 3 at 1375 ms",
         song(TrackBuilder().tempo(0, 500000).tempo(q(2.5), 250000).note(q(37.5), 60)),
         {{"1374.5", "@WAIT(1,96);"},
          {"1375.5", "@WAIT(1,144);"},
          {"1510", "@WAIT(1,144);"},
          {"1626", "@WAIT(2,0);"}}},
        {"a one-quarter pickup",
         song(TrackBuilder().timeSignature(0, 1, 2).timeSignature(q(1), 4, 2).note(q(39), 60)),
         {{"400", "@WAIT(1,0);"},
          {"600", "@WAIT(2,0);"},
          {"1100", "@WAIT(2,48);"},
          {"2600", "@WAIT(3,0);"}}},
        {"3/8: 750 ms bars, a short second beat",
         song(TrackBuilder().timeSignature(0, 3, 3).note(q(40), 60)),
         {{"600", "@WAIT(1,48);"}, {"760", "@WAIT(2,0);"}, {"1300", "@WAIT(2,48);"}}},
        {"a late 3/4 inside bar 2 counts from bar 3",
         song(TrackBuilder().timeSignature(q(6), 3, 2).note(q(34), 60)),
         {{"3600", "@WAIT(2,144);"},
          {"4100", "@WAIT(3,0);"},
          {"5400", "@WAIT(3,96);"},
          {"5600", "@WAIT(4,0);"}}},
        {"past the end: the bar line after it",
         song(TrackBuilder().note(q(6), 60)),
         {{"3900", "@WAIT(2,144);"}, {"4600", "@WAIT(3,0);"}, {"100000000", "@WAIT(3,0);"}}},
    };
    ToolDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("song.mid", c.image);
        std::vector<std::string> args = {"clock", path};
        std::vector<std::string> lines;
        for (const auto &[ms, line] : c.stamps) {
            args.push_back(ms);
            lines.push_back(line);
        }
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, lf(lines));
        EXPECT_EQ(r.err, "");
    }
}

// The song's beats worked out here from its events, for real files.
struct Beat {
    std::int32_t bar;
    std::int32_t beat;
    std::int64_t startTick;
    std::int64_t endTick;
};

struct Worked {
    int division = 0;
    std::vector<Beat> beats;  // to the end of the bar holding the song's end
    std::vector<double> msAt; // tick by tick, summed
    std::int32_t endBar = 0;  // the bar whose line ends the performance
};

Worked workOut(const std::string &image)
{
    const std::string_view smf = unwrapRmid(image);
    const int division =
        static_cast<unsigned char>(smf[12]) << 8 | static_cast<unsigned char>(smf[13]);
    std::vector<std::pair<std::int64_t, std::uint32_t>> tempos;
    std::vector<std::pair<std::int64_t, std::pair<int, int>>> signatures;
    std::int64_t end = 0;
    forEachTrack(smf, [&](std::string_view events) {
        TrackWalker walker(events);
        TrackWalker::MetaEvent meta;
        while (walker.nextMeta(meta) && meta.type != 0x2F) {
            const auto b = [&](int i) { return static_cast<unsigned char>(meta.data[i]); };
            if (meta.type == 0x51 && meta.data.size() == 3)
                tempos.push_back({walker.tick(), b(0) << 16 | b(1) << 8 | b(2)});
            if (meta.type == 0x58 && meta.data.size() == 4)
                signatures.push_back({walker.tick(), {b(0), 1 << b(1)}});
        }
        end = std::max(end, walker.tick());
        return true;
    });
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](auto &a, auto &b) { return a.first < b.first; });
    std::stable_sort(signatures.begin(), signatures.end(),
                     [](auto &a, auto &b) { return a.first < b.first; });

    // Bars: 4/4 until a bar line takes the last signature at or before it.
    Worked w;
    w.division = division;
    const std::int64_t length = end * 4 / division; // sixteenths
    const std::int64_t stop = std::max<std::int64_t>(1, (length * division + 3) / 4);
    std::pair<int, int> meter{4, 4};
    std::size_t next = 0;
    std::int64_t line = 0;
    for (std::int32_t bar = 1; line < stop; ++bar) {
        while (next < signatures.size() && signatures[next].first <= line)
            meter = signatures[next++].second;
        const std::int64_t barTicks = std::int64_t{meter.first} * division * 4 / meter.second;
        for (std::int64_t t = line, k = 1; t < line + barTicks; t += division, ++k)
            w.beats.push_back(
                {bar, static_cast<std::int32_t>(k), t, std::min(t + division, line + barTicks)});
        line += barTicks;
        w.endBar = bar + 1;
    }

    // Time: every tick as long as the tempo standing at it.
    std::uint32_t us = 500000;
    std::size_t tempo = 0;
    w.msAt.push_back(0);
    for (std::int64_t t = 0; t < line; ++t) {
        while (tempo < tempos.size() && tempos[tempo].first <= t)
            us = tempos[tempo++].second;
        w.msAt.push_back(w.msAt.back() + us / 1000.0 / division);
    }
    return w;
}

std::string stamp(std::int32_t bar, std::int32_t beat)
{
    return "@WAIT(" + std::to_string(bar) + "," + std::to_string((beat - 1) * 48) + ");";
}

// Real songs: a press just inside either edge of beats spread over the song
// gets that beat, one long after the end the bar line that ends it, and
// the tool's locate names the same bar and beat for a beat on a quarter note.
TEST(ToolClock, CorpusSongsBeatAsTheirEventsAddUp)
{
    const fs::path corpus = fs::path(VELKAN_SHARED_DIR) / "midi-corpus";
    if (!fs::is_directory(corpus))
        GTEST_SKIP() << "no shared corpus";
    ToolDir dir;
    for (const char *name : {"music21-testPrimitive/test03.mid", "music21-testPrimitive/test09.mid",
                             "pedrolcl-dmidiplayer-examples/Schubert_Standchen.mid"}) {
        SCOPED_TRACE(name);
        const std::string path = (corpus / name).string();
        const std::string image = readBytes(path);
        const Worked w = workOut(image);
        ASSERT_GT(w.beats.size(), 40u);

        std::vector<std::string> args = {"clock", path};
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < w.beats.size(); i += w.beats.size() / 40) {
            // A millisecond inside either edge of the beat.
            const Beat &b = w.beats[i];
            for (const double at : {w.msAt[b.startTick] + 1, w.msAt[b.endTick] - 1}) {
                char ms[32];
                std::snprintf(ms, sizeof ms, "%.3f", at);
                args.push_back(ms);
                lines.push_back(stamp(b.bar, b.beat));
            }
        }
        args.push_back("99999999");
        lines.push_back(stamp(w.endBar, 1));
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, lf(lines));

        int located = 0;
        for (std::size_t i = 0; i < w.beats.size() && located < 4; i += w.beats.size() / 7) {
            const Beat &b = w.beats[i];
            if (b.startTick % w.division != 0)
                continue;
            ++located;
            const ToolRun at = dir.run({"locate", path, std::to_string(b.startTick / w.division)});
            EXPECT_EQ(at.out, "bar " + std::to_string(b.bar) + " beat " + std::to_string(b.beat) +
                                  " completed " + std::to_string(b.bar - 1) + "\n");
        }
        EXPECT_GT(located, 0);
    }
}

} // namespace
} // namespace velkan::test
