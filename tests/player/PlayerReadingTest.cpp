// The player's reading, rule by rule: script lines (and a song) in, the
// events the player shows and their ticks out.
#include "player/PlayerReading.h"
#include "midi/SmfBuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace velkan::test {
namespace {

constexpr std::int64_t Q = 480;      // ticks a quarter
constexpr std::int64_t kBar = 4 * Q; // a 4/4 bar
constexpr std::int64_t kBar34 = 3 * Q;

std::int64_t steps(std::int64_t n)
{
    return n * Q / 48;
}

// An event as "TICK word [bytes] numbers...".
std::string said(const PlayerEvent &e)
{
    std::string out = std::to_string(e.tick) + ' ' + std::string(playerEventWord(e.kind));
    if (e.kind == PlayerEventKind::Text || !e.bytes.empty())
        out += ' ' + e.bytes;
    for (int n : e.numbers)
        out += ' ' + std::to_string(n);
    return out;
}

std::string at(std::int64_t tick, const std::string &what)
{
    return std::to_string(tick) + ' ' + what;
}

// 4/4 for two bars, then 3/4 (its signature inside bar 2: from bar 3 on).
std::string meterSong()
{
    TrackBuilder map;
    map.timeSignature(0, 4, 2).timeSignature(6 * Q, 3, 2).endOfTrack(40 * Q);
    return smf(Q, {map});
}

struct Case {
    Case(const char *caseName, std::vector<std::string> script, std::vector<std::string> events,
         std::string smfImage = {})
        : name(caseName), lines(std::move(script)), expected(std::move(events)),
          song(std::move(smfImage))
    {
    }
    const char *name;
    std::vector<std::string> lines;
    std::vector<std::string> expected; // every event, in order
    std::string song;                  // empty: none (4/4 at 480)
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class PlayerReadingTest : public ::testing::TestWithParam<Case> {};

TEST_P(PlayerReadingTest, ShowsWhatThePlayerShowsWhenItShowsIt)
{
    const Case &c = GetParam();
    std::optional<SongTimeline> song;
    if (!c.song.empty()) {
        song = SongTimeline::fromSmf(c.song);
        ASSERT_TRUE(song);
    }
    std::vector<std::string_view> lines(c.lines.begin(), c.lines.end());
    const PlayerReading reading = readAsPlayer(lines, song ? &*song : nullptr);
    std::vector<std::string> got;
    for (const PlayerEvent &e : reading.events)
        got.push_back(said(e));
    EXPECT_EQ(got, c.expected);
    EXPECT_FALSE(reading.hangsAtLine);
    EXPECT_FALSE(reading.overflowsAtLine);
}

const std::string S = "@STARTUP(427);";

INSTANTIATE_TEST_SUITE_P(
    Rules, PlayerReadingTest,
    ::testing::Values(
        Case{"LyricWithoutSemicolonFeedsALineAndMovesOn",
             {S, "aa", "bb"},
             {at(0, "startup 427"), at(0, "text aa"), at(0, "linefeed"), at(kBar, "text bb"),
              at(kBar, "linefeed")}},
        Case{"LyricWithSemicolonStays",
             {S, "aa;", "bb;"},
             {at(0, "startup 427"), at(0, "text aa"), at(0, "text bb")}},
        Case{"EmptyLineIsALyric",
             {S, "", "b;"},
             {at(0, "startup 427"), at(0, "text "), at(0, "linefeed"), at(kBar, "text b")}},
        Case{"CommandLineWithoutSemicolonMovesOn",
             {S, "@WMODE(23)", "@COLOR(31)", "a;", "@COLOR(32);", "b;"},
             {at(0, "startup 427"), at(Q, "color 31"), at(2 * Q, "text a"), at(2 * Q, "color 32"),
              at(2 * Q, "text b")}},
        Case{"LineWithoutSemicolonMovesOnByTheStepItSets",
             {"@STARTUP(427) @WMODE(11)", "a;"},
             {at(0, "startup 427"), at(Q / 2, "text a")}},
        Case{"WithoutVersionAWmodeLineEndsWithTheOldStep",
             {"@STARTUP(0);", "@WMODE(23);", "@WMODE(11)", "a;", "@WMODE(5)", "b;"},
             {at(0, "startup 0"), at(Q, "text a"), at(Q + Q / 2, "text b")}},
        Case{"WithVersionAWmodeLineEndsWithTheNewStep",
             {S, "@WMODE(23);", "@WMODE(11)", "a;", "@WMODE(5)", "b;"},
             {at(0, "startup 427"), at(Q / 2, "text a"), at(Q / 2 + Q / 4, "text b")}},
        Case{"LineStepFollowsWmode",
             {S, "@WMODE(11);", "a", "b", "@WMODE(5);", "c", "d;"},
             {at(0, "startup 427"), at(0, "text a"), at(0, "linefeed"), at(Q / 2, "text b"),
              at(Q / 2, "linefeed"), at(Q, "text c"), at(Q, "linefeed"), at(Q + Q / 4, "text d")}},
        Case{"CharactersOneAStep",
             {S, "@WMODE(11,1);", "a\x82\xa0_b;"},
             {at(0, "startup 427"), at(0, "text a"), at(Q / 2, "text \x82\xa0"),
              at(3 * Q / 2, "text b")}},
        Case{"CharactersBarsAndEscapes",
             {S, "@WMODE(11,1);", "|ab\x82\xa0|\\c", "d;"},
             // The escaped byte shows, then is read again as a character.
             {at(0, "startup 427"), at(0, "text ab\x82\xa0"), at(Q / 2, "text c"), at(Q, "text c"),
              at(3 * Q / 2, "linefeed"), at(2 * Q, "text d")}},
        Case{"WaitCountsBarsFromOneInTheSongsMeter",
             {S, "@WAIT(2,0);", "a;", "@WAIT(3,48);", "b;", "@WAIT(4,0);", "c;"},
             {at(0, "startup 427"), at(kBar, "text a"), at(2 * kBar + Q, "text b"),
              at(2 * kBar + kBar34, "text c")},
             meterSong()},
        Case{"StepAtBarLengthIsTheNextBarAndNegativeStepThePrevious",
             {S, "@WAIT(3,144);", "a;", "@WAIT(4,999);", "b;", "@WAIT(6,-24);", "c;"},
             {at(0, "startup 427"), at(2 * kBar + kBar34, "text a"),
              at(2 * kBar + 2 * kBar34, "text b"), at(2 * kBar + 3 * kBar34 - steps(24), "text c")},
             meterSong()},
        Case{"OffsetMovesBarsAndRestMovesOn",
             {S, "@OFFSET(2);", "@WAIT(1,0);", "a;", "@REST(1,24);", "b;"},
             {at(0, "startup 427"), at(2 * kBar, "text a"), at(3 * kBar + steps(24), "text b")}},
        Case{"NothingShowsBeforeWhatShowedLast",
             {S, "@WAIT(3,0);", "a", "@WAIT(2,0);", "b;", "@WAIT(4,0);", "c;"},
             {at(0, "startup 427"), at(2 * kBar, "text a"), at(2 * kBar, "linefeed"),
              at(2 * kBar, "text b"), at(3 * kBar, "text c")}},
        Case{"WithoutStartupAWaitLineAndAWmodeAfterItEndAsWithSemicolon",
             {"@WAIT(2,0)", "@WMODE(23)", "a", "@COLOR(1)", "b;"},
             {at(0, "startup 0"), at(kBar, "text a"), at(kBar, "linefeed"), at(kBar + Q, "color 1"),
              at(kBar + 2 * Q, "text b")}},
        Case{"StartupZeroIsNoVersion",
             {"@STARTUP(0)", "@WAIT(2,0)", "a;"},
             {at(0, "startup 0"), at(kBar, "text a")}},
        Case{"WithAVersionAWaitLineMovesOn",
             {"@STARTUP(427);", "@WAIT(2,0)", "a;"},
             {at(0, "startup 427"), at(2 * kBar, "text a")}},
        Case{"NamesByTheirFirstLettersInAnyCase",
             {S, "@co(1);@LoCaTe(2,3);@GCLS(4);@gc(5);@LOX(6,7);@WHAT(23);"},
             // "GC" reads "GCLS" letters left by the token before; "LOX" is
             // @LOOP; "WHAT" is @WMODE.
             {at(0, "startup 427"), at(0, "color 1"), at(0, "locate 2 3"), at(0, "gcls 4"),
              at(0, "gcls 5")}},
        Case{"LocateWithSemicolonSwaps",
             {S, "@LOCATE(5;20);@LOCATE(5,20);@LOCATE(1,2,3);@LOCATE(9);"},
             {at(0, "startup 427"), at(0, "locate 20 5"), at(0, "locate 5 20"),
              at(0, "locate 1 2")}},
        Case{"PalTakesSixteenOrANumberAndSixteen",
             {S, "@PAL(000,111,222,333,444,555,666,777,888,999,AAA,BBB,CCC,DDD,EEE,FFF);",
              "@PAL(#3,F00,0,0,0,0,0,0,0,0,0,0,0,0,0,0,00F);", "@PAL(1,2,3);"},
             {at(0, "startup 427"),
              at(0, "pal 0 0 273 546 819 1092 1365 1638 1911 2184 2457 2730 3003 3276 3549 "
                    "3822 4095"),
              at(0, "pal 3 3840 0 0 0 0 0 0 0 0 0 0 0 0 0 0 15")}},
        Case{"TclsDefaults",
             {S, "@TCLS();@TCLS(2,,40,,1,0);"},
             {at(0, "startup 427"), at(0, "tcls 1 1 80 25 0 32"), at(0, "tcls 2 1 40 25 1 32")}},
        Case{"NumbersAreCarriedIn16Bits",
             {S, "@COLOR(-5);@COLOR(70000);"},
             {at(0, "startup 427"), at(0, "color 65531"), at(0, "color 4464")}},
        Case{"FadeStepsFollowThroughTime",
             {S, "@FADE(0,1,3)"},
             // 80 ticks in 12 steps, each shown as time moves past it.
             {at(0, "startup 427"), at(0, "fade 0 1 3"), at(0, "fadestep 1 12"),
              at(80 * 1 / 12, "fadestep 2 12"), at(80 * 2 / 12, "fadestep 3 12"),
              at(80 * 3 / 12, "fadestep 4 12"), at(80 * 4 / 12, "fadestep 5 12"),
              at(80 * 5 / 12, "fadestep 6 12"), at(80 * 6 / 12, "fadestep 7 12"),
              at(80 * 7 / 12, "fadestep 8 12"), at(80 * 8 / 12, "fadestep 9 12"),
              at(80 * 9 / 12, "fadestep 10 12"), at(80 * 10 / 12, "fadestep 11 12"),
              at(80 * 11 / 12, "fadestep 12 12")}},
        Case{
            "TextAfterACommandIsARemark",
            {S, "@COLOR(2) and so on;", "@NOTHING;"},
            {at(0, "startup 427"), at(0, "color 2"), at(0, "rem and so on"), at(0, "rem NOTHING")}},
        Case{"LongLinesAreReadIn254ByteParts",
             {S, std::string(254, 'x') + "yz;"},
             {at(0, "startup 427"), at(0, "text " + std::string(254, 'x')), at(0, "linefeed"),
              at(kBar, "text yz")}},
        Case{"CtrlZEndsTheText",
             {S, "a;",
              "b\x1a"
              "c;",
              "d;"},
             {at(0, "startup 427"), at(0, "text a"), at(0, "text b"), at(0, "linefeed")}},
        Case{"EndWaitsForTheSongsEnd",
             {S, "@END();", "a;"},
             // Without a song there is no end to wait for.
             {at(0, "startup 427"), at(0, "text a")}}),
    [](const ::testing::TestParamInfo<Case> &test) { return std::string(test.param.name); });

TEST(PlayerReading, CrLfLinesReadAsTheyWereSaved)
{
    const ScriptLines lines = ScriptLines::fromText("@STARTUP(427);\r\n@WMODE(23)\r\na\r\n");
    const PlayerReading reading = readAsPlayer(lines, nullptr);
    ASSERT_EQ(reading.events.size(), 3u);
    EXPECT_EQ(said(reading.events[1]), at(Q, "text a"));
    EXPECT_EQ(reading.events[1].line, 2u);
}

TEST(PlayerReading, EndWaitsForTheBarLineAtTheSongsEnd)
{
    const std::vector<std::string_view> lines{"@STARTUP(427);", "@END();", "a;"};
    const PlayerReading reading = readAsPlayer(lines, nullptr, 2 * kBar + 1);
    ASSERT_EQ(reading.events.size(), 2u);
    EXPECT_EQ(reading.events[1].tick, 3 * kBar);
}

// Going back bar by bar, the player keeps the length of the bar it stands
// in until its position passes back before a signature's own tick: from
// 7680 in 4/4, 2/4 (its signature at quarter 5: bars from 3840), 5/8 (from
// 6720), four bars back end at 2640 by the signatures, 1680 by bar lines.
TEST(PlayerReading, GoingBackUsesEachSignaturesOwnTick)
{
    TrackBuilder map;
    map.timeSignature(0, 4, 2)
        .timeSignature(5 * Q, 2, 2)
        .timeSignature(9 * Q, 5, 3)
        .endOfTrack(40 * Q);
    const std::string image = smf(Q, {map});
    const auto song = SongTimeline::fromSmf(image);
    ASSERT_TRUE(song);
    const std::vector<TimeSignatureEvent> signatures = playerTimeSignatures(image);
    ASSERT_EQ(signatures.size(), 3u);
    EXPECT_EQ(signatures[1].tick, 5 * Q);
    const std::vector<std::string_view> lines{S, "@WAIT(6,96);", "@WAIT(2,0);", "a;"};
    const std::int64_t halfBar = 2 * Q, fiveEighths = 5 * Q / 2;
    const std::int64_t from = 2 * kBar + 3 * halfBar + halfBar; // bar 6, step 96
    ASSERT_EQ(from, 7680);
    // Back over the 5/8 bar (its length), then three 2/4 bars by its length.
    const std::int64_t bySignatures = from - halfBar - fiveEighths - 3 * halfBar;
    EXPECT_EQ(readAsPlayer(lines, &*song, 0, &signatures).events.back().tick, bySignatures);
    // By bar lines, the last step back is already a 4/4 bar.
    EXPECT_EQ(readAsPlayer(lines, &*song).events.back().tick, bySignatures + halfBar - kBar);
}

struct EndCase {
    const char *name;
    std::string smf;
    std::int64_t expected;
};

void PrintTo(const EndCase &c, std::ostream *os)
{
    *os << c.name;
}

class PlayerSongEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(PlayerSongEndTest, EndIsTheLastEventThatIsNotTextOrTheTracksEnd)
{
    EXPECT_EQ(playerSongEndTick(GetParam().smf), GetParam().expected);
}

TrackBuilder noteAt(std::uint32_t on, std::uint32_t length)
{
    TrackBuilder t;
    t.note(on, 60).event(length, bytes({0x80, 60, 0}));
    return t;
}

std::string withHeaderFormat(std::string image, int format)
{
    image[9] = static_cast<char>(format);
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    Songs, PlayerSongEndTest,
    ::testing::Values(
        EndCase{"NoteOffNotTrackEnd", smf(Q, {noteAt(10, 700).endOfTrack(5000)}), 710},
        EndCase{"TextAfterTheNotes",
                smf(Q, {noteAt(0, 100).meta(900, 0x01, "x").meta(10, 0x05, "y").endOfTrack()}),
                100},
        EndCase{"TempoAfterTheNotes", smf(Q, {noteAt(0, 100).tempo(900, 500000).endOfTrack()}),
                1000},
        EndCase{"LatestOfEveryTrack",
                smf(Q, {noteAt(0, 100).endOfTrack(), noteAt(50, 300).endOfTrack()}), 350},
        EndCase{"FirstSongOfAFormat2File",
                withHeaderFormat(
                    smf(Q, {noteAt(0, 100).endOfTrack(), noteAt(50, 300).endOfTrack()}), 2),
                100},
        EndCase{"InAnRmid", rmid(smf(Q, {noteAt(5, 5).endOfTrack()})), 10},
        EndCase{"NoHeader", "MTrk", 0}),
    [](const ::testing::TestParamInfo<EndCase> &test) { return std::string(test.param.name); });

struct HangCase {
    const char *name;
    std::vector<std::string> lines;
    std::optional<std::size_t> hangsAt;
    std::size_t eventsBefore;
};

void PrintTo(const HangCase &c, std::ostream *os)
{
    *os << c.name;
}

class PlayerHangTest : public ::testing::TestWithParam<HangCase> {};

TEST_P(PlayerHangTest, AWaitBeforeTheFirstBarNeverEnds)
{
    const HangCase &c = GetParam();
    std::vector<std::string_view> lines(c.lines.begin(), c.lines.end());
    const PlayerReading reading = readAsPlayer(lines, nullptr);
    EXPECT_EQ(reading.hangsAtLine, c.hangsAt);
    EXPECT_EQ(reading.events.size(), c.eventsBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, PlayerHangTest,
    ::testing::Values(
        HangCase{"BarZero", {S, "a;", "@WAIT(0,0);", "b;"}, 2, 2},
        HangCase{"NegativeBar", {S, "@WAIT(-3,10);", "b;"}, 1, 1},
        HangCase{"BarZeroWithOffset", {S, "@OFFSET(1);", "@WAIT(0,0);", "b;"}, std::nullopt, 2},
        HangCase{"OffsetBelowOne", {S, "@OFFSET(-1);", "@WAIT(1,0);", "b;"}, 2, 1}),
    [](const ::testing::TestParamInfo<HangCase> &test) { return std::string(test.param.name); });

TEST(PlayerReading, TimePastThePlayersTickCountStopsTheReading)
{
    const std::vector<std::string_view> lines{S, "a;", "@WAIT(2000000000,0);", "b;"};
    const PlayerReading reading = readAsPlayer(lines, nullptr);
    EXPECT_EQ(reading.overflowsAtLine, 2u);
    EXPECT_EQ(reading.events.size(), 2u);
}

// Any bytes: the reading ends, its ticks never go down and its events stay
// in proportion to the script.
TEST(PlayerReading, AnyBytesEndInOrder)
{
    std::mt19937 random(12345);
    const std::string alphabet = "@^;,|_\\()#:.- 0123456789WAITwmodeRESTOFFSETENDLOCATEFADEPAL"
                                 "COLRSTARTUP\x82\xa0\x81\x40\t\r\x1a";
    TrackBuilder map;
    map.timeSignature(0, 1, 6).timeSignature(7, 3, 2).endOfTrack(100);
    const auto song = SongTimeline::fromSmf(smf(16, {map}));
    ASSERT_TRUE(song);
    for (int round = 0; round < 400; ++round) {
        std::vector<std::string> text;
        std::size_t bytes = 0;
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i) {
            std::string line;
            const int length = static_cast<int>(random() % (i % 7 == 0 ? 400 : 40));
            for (int k = 0; k < length; ++k)
                line += random() % 8 == 0 ? static_cast<char>(random() % 256)
                                          : alphabet[random() % alphabet.size()];
            bytes += line.size() + 2;
            text.push_back(line);
        }
        std::vector<std::string_view> lines(text.begin(), text.end());
        const PlayerReading reading = readAsPlayer(lines, round % 2 ? &*song : nullptr, round * 37);
        for (std::size_t i = 1; i < reading.events.size(); ++i)
            ASSERT_LE(reading.events[i - 1].tick, reading.events[i].tick) << "round " << round;
        EXPECT_LE(reading.events.size(), 1 + 13 * bytes) << "round " << round;
    }
}

} // namespace
} // namespace velkan::test
