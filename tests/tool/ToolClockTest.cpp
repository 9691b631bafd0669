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

// 500 ms a quarter, 250 ms from quarter 6 (3000 ms); 3/4 from bar 3 (quarter
// 8, 3500 ms), bar 4 at 4250 ms.
std::string tempoAndMeterSong()
{
    return song(TrackBuilder()
                    .tempo(0, 500000)
                    .tempo(q(6), 250000)
                    .timeSignature(q(2), 3, 2)
                    .note(q(30), 60));
}

TEST(ToolClock, SpeedGridAndTapOffsetChangeTheStamp)
{
    struct Case {
        std::vector<std::string> options;
        std::vector<std::pair<std::string, std::string>> stamps; // ms, line
    };
    const std::vector<Case> cases = {
        {{}, {{"1000", "@WAIT(1,96);"}, {"3700", "@WAIT(3,0);"}, {"4400", "@WAIT(4,0);"}}},
        {{"--grid=16", "--latency", "40"},
         {{"30", "@WAIT(1,0);"}, {"3700", "@WAIT(3,24);"}, {"4440", "@WAIT(4,24);"}}},
        {{"--grid", "step", "--latency=-10"}, {{"3690", "@WAIT(3,38);"}, {"4390", "@WAIT(4,28);"}}},
        {{"--speed", "50"}, {{"2000", "@WAIT(1,96);"}, {"7400", "@WAIT(3,0);"}}},
        {{"--speed", "50", "--grid", "16", "--latency", "80"},
         {{"7480", "@WAIT(3,36);"}, {"8800", "@WAIT(4,12);"}}},
        {{"--speed=150", "--grid", "step"},
         {{"666", "@WAIT(1,95);"}, {"2466.667", "@WAIT(3,38);"}}},
        {{"--speed", "150", "--latency", "20"}, {{"10", "@WAIT(1,0);"}, {"2560", "@WAIT(3,48);"}}},
    };
    ToolDir dir;
    const std::string path = dir.write("song.mid", tempoAndMeterSong());
    for (const Case &c : cases) {
        std::vector<std::string> args = {"clock", path};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::vector<std::string> lines;
        for (const auto &[ms, line] : c.stamps) {
            args.push_back(ms);
            lines.push_back(line);
        }
        SCOPED_TRACE(testing::PrintToString(args));
        const ToolRun r = dir.run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, lf(lines));
        EXPECT_EQ(r.err, "");
    }
}

// Wall time at half speed is twice as long; a tap offset too, as the song
// moves half as far in it.
TEST(ToolClock, HalfSpeedAtTwiceTheTimeStampsTheSame)
{
    ToolDir dir;
    const std::string path = dir.write("song.mid", tempoAndMeterSong());
    const std::vector<int> moments = {0, 999, 1500, 3003, 3501, 3699, 3702, 4248, 4251, 6000};
    for (const char *grid : {"4", "8", "16", "step"}) {
        for (const int latency : {0, 20}) {
            SCOPED_TRACE(testing::Message() << grid << ", " << latency << " ms");
            std::vector<std::string> full = {"clock", path,        "--grid",
                                             grid,    "--latency", std::to_string(latency)};
            std::vector<std::string> half = {"clock",   path,        "--grid",
                                             grid,      "--latency", std::to_string(2 * latency),
                                             "--speed", "50"};
            for (const int ms : moments) {
                full.push_back(std::to_string(ms));
                half.push_back(std::to_string(2 * ms));
            }
            const ToolRun a = dir.run(full), b = dir.run(half);
            EXPECT_EQ(a.status, 0);
            EXPECT_EQ(b.out, a.out);
            EXPECT_EQ(std::count(a.out.begin(), a.out.end(), '\n'), 10);
        }
    }
}

} // namespace
} // namespace velkan::test
