#include "aids/core/RevealTiming.h"

#include "MeterMaps.h"
#include "RevealTestLines.h"

#include <gtest/gtest.h>

namespace velkan {
namespace {

using namespace test;
using Views = std::vector<std::string_view>;

struct TimingCase {
    const char *name;
    const SongTimeline *timeline; // nullptr: no song loaded
    Views selection;
    RevealEdits edits;
    RevealMethod method;
    int choice;
    RevealEdits expected;
};

void checkAppear(const std::vector<TimingCase> &cases)
{
    for (const TimingCase &c : cases) {
        SCOPED_TRACE(c.name);
        const RevealTimingResult r =
            appearTiming(c.selection, c.edits, c.method, c.choice, {7, 7}, BarMath(c.timeline));
        EXPECT_TRUE(r.changed);
        EXPECT_EQ(r.edits, c.expected);
    }
}

void checkErase(const std::vector<TimingCase> &cases)
{
    for (const TimingCase &c : cases) {
        SCOPED_TRACE(c.name);
        const RevealTimingResult r =
            eraseTiming(c.selection, c.edits, c.method, c.choice, {7, 7}, BarMath(c.timeline));
        EXPECT_TRUE(r.changed);
        EXPECT_EQ(r.edits, c.expected);
    }
}

const RevealMethod kAll = RevealMethod::AllAtOnce;
const RevealMethod kLine = RevealMethod::LineByLine;
const RevealMethod kChar = RevealMethod::CharByChar;

TEST(RevealTiming, AppearCountsBackFromTheFirstTimingLine)
{
    const SongTimeline threeEight = timelineOf({{0, 3, 3}});
    const Views two = {"@WAIT(12,96);", kAiu, "@WAIT(12,144);", kEoSemi};
    checkAppear({
        {"all at once", nullptr, two, {}, kAll, 0, {"@WAIT(12,48);", "@WAIT(12,48);"}},
        {"line by line, quarter", nullptr, two, {}, kLine, 0, {"@WAIT(11,144);", "@WAIT(12,48);"}},
        {"char by char, 11 bytes of sixteenths",
         nullptr,
         two,
         {},
         kChar,
         2,
         {"@WAIT(11,108);", "@WAIT(12,48);"}},
        {"bar start",
         nullptr,
         {"@WAIT(5,0);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(4,144);", "@WAIT(4,144);"}},
        {"3/4 bar start",
         &threeFour(),
         {"@WAIT(5,0);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(4,96);", "@WAIT(4,96);"}},
        {"3/8 bar start: 72 steps back",
         &threeEight,
         {"@WAIT(5,0);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(4,24);", "@WAIT(4,24);"}},
        {"3/4 line by line",
         &threeFour(),
         {"@WAIT(12,48);", kAiu, "@WAIT(12,96);", kEoSemi},
         {},
         kLine,
         1,
         {"@WAIT(11,96);", "@WAIT(12,0);"}},
        {"timing from an earlier end marker",
         nullptr,
         {kAppearEnd + "@WAIT(12,48);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(12,0);", "@WAIT(12,0);"}},
        // Before the song's start nothing is written: bar 0 step 20 less a
        // quarter would be bar -1 step 164.
        {"held at the start",
         nullptr,
         {"@WAIT(0,20);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(1,0);", "@WAIT(1,0);"}},
        {"start held, end not",
         nullptr,
         {"@WAIT(1,96);", "x", "y"},
         {},
         kLine,
         0,
         {"@WAIT(1,0);", "@WAIT(1,48);"}},
    });
}

TEST(RevealTiming, AppearFromATypedStart)
{
    const Views lyrics = {"@WAIT(40,0);", "ab", "cd"};
    checkAppear({
        {"typed start written back as read",
         nullptr,
         lyrics,
         {"@WAIT(3,200);", "old"},
         kAll,
         0,
         {"@WAIT(3,200);", "@WAIT(4,8);"}},
        {"duration added",
         nullptr,
         lyrics,
         {"@WAIT(3,96);", ""},
         kLine,
         0,
         {"@WAIT(3,96);", "@WAIT(4,0);"}},
        {"3/4 duration added",
         &threeFour(),
         lyrics,
         {"@WAIT(3,96);", ""},
         kLine,
         0,
         {"@WAIT(3,96);", "@WAIT(4,48);"}},
        {"typed start with no timing line",
         nullptr,
         {"ab"},
         {"@WAIT(2,0);", ""},
         kChar,
         3,
         {"@WAIT(2,0);", "@WAIT(2,12);"}},
        {"typed bar 0 start held",
         nullptr,
         lyrics,
         {"@WAIT(0,0);", ""},
         kLine,
         0,
         {"@WAIT(1,0);", "@WAIT(1,96);"}},
        {"typed negative start held",
         nullptr,
         lyrics,
         {"@WAIT(-2,5);", ""},
         kAll,
         0,
         {"@WAIT(1,0);", "@WAIT(1,0);"}},
    });
}

TEST(RevealTiming, EraseStartsAsFarAfterTheLastTimingAsItStandsAfterTheOneBefore)
{
    const SongTimeline midBar = timelineOf({{0, 4}, {6, 3}}); // 3/4 from bar 3
    const Views two = {"@WAIT(12,96);", kAiu, "@WAIT(12,144);", kEoSemi};
    checkErase({
        {"all at once", nullptr, two, {}, kAll, 0, {"@WAIT(13,0);", "@WAIT(13,0);"}},
        {"char by char, quarters",
         nullptr,
         two,
         {},
         kChar,
         0,
         {"@WAIT(13,0);", "@WAIT(15,144);"}}, // 11 bytes x 48 = 2 bars and 144
        {"one timing line counts from bar 0",
         nullptr,
         {"@WAIT(12,0);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(24,0);", "@WAIT(24,0);"}},
        {"timings going back",
         nullptr,
         {"@WAIT(13,0);", "@WAIT(12,0);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(11,0);", "@WAIT(11,0);"}},
        {"far back is held",
         nullptr,
         {"@WAIT(20,0);", "@WAIT(5,0);", "x"},
         {},
         kLine,
         0,
         {"@WAIT(1,0);", "@WAIT(1,48);"}},
        {"3/4",
         &threeFour(),
         {"@WAIT(12,48);", kAiu, "@WAIT(12,96);", kEoSemi},
         {},
         kChar,
         0,
         {"@WAIT(13,0);", "@WAIT(16,96);"}}, // 11 x 48 = 528 = 3 bars and 96
        {"3/4 one timing line",
         &threeFour(),
         {"@WAIT(3,48);", "x"},
         {},
         kAll,
         0,
         {"@WAIT(6,96);", "@WAIT(6,96);"}},
        {"across a meter change",
         &fourThenThree(),
         {"@WAIT(8,0);", "@WAIT(8,144);", "x"},
         {},
         kLine,
         0,
         {"@WAIT(9,96);", "@WAIT(10,0);"}},
        {"a signature inside a bar waits for its end",
         &midBar,
         {"@WAIT(2,0);", "@WAIT(2,144);", "x"},
         {},
         kLine,
         0,
         {"@WAIT(3,96);", "@WAIT(4,0);"}},
        {"typed start",
         nullptr,
         two,
         {"@WAIT(30,500);", ""},
         kLine,
         0,
         {"@WAIT(30,500);", "@WAIT(33,20);"}},
        {"typed start held",
         nullptr,
         two,
         {"@WAIT(0,100);", ""},
         kAll,
         0,
         {"@WAIT(1,0);", "@WAIT(1,0);"}},
    });
}

TEST(RevealTiming, NothingToTimeFromLeavesTheEditsAsTheyAre)
{
    const Views noTiming = {"ab", "@LOCATE(1;1);", ""};
    const RevealEdits edits{"", "@WAIT(9,9);"};
    const MusicalPosition working{5, 5};
    for (RevealMethod method : {kAll, kLine, kChar}) {
        const RevealTimingResult a = appearTiming(noTiming, edits, method, 0, working, BarMath());
        EXPECT_FALSE(a.changed);
        EXPECT_EQ(a.edits, edits);
        EXPECT_EQ(a.working, working);
        const RevealTimingResult e = eraseTiming(noTiming, edits, method, 0, working, BarMath());
        EXPECT_FALSE(e.changed);
        EXPECT_EQ(e.edits, edits);
        EXPECT_EQ(e.working, working);
    }
    EXPECT_FALSE(appearTiming({}, {}, kAll, 0, working, BarMath()).changed);
}

TEST(RevealTiming, WorkingPositionFollowsTheLastComputation)
{
    const Views two = {"@WAIT(12,96);", "ab", "@WAIT(12,144);"};
    EXPECT_EQ(appearTiming(two, {}, kLine, 0, {}, BarMath()).working, (MusicalPosition{12, 0}));
    EXPECT_EQ(appearTiming(two, {"@WAIT(2,0);", ""}, kLine, 0, {}, BarMath()).working,
              (MusicalPosition{2, 48}));
    EXPECT_EQ(eraseTiming(two, {}, kLine, 0, {}, BarMath()).working, (MusicalPosition{13, 48}));
}

} // namespace
} // namespace velkan
