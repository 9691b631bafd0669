#include "ToolRun.h"

#include "midi/SmfBuilder.h"

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

} // namespace
} // namespace velkan::test
