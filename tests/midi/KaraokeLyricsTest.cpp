#include "midi/KaraokeLyrics.h"
#include "midi/SmfBuilder.h"
#include "script/ScriptFile.h"

#include <gtest/gtest.h>

namespace velkan::test {
namespace {

constexpr int kDivision = 480;

struct Case {
    const char *name;
    std::string image;
    // The lines between the header and "@END();"; none: no script at all.
    std::optional<std::vector<std::string>> body;
};

std::string song(const std::vector<TrackBuilder> &tracks)
{
    return smf(kDivision, tracks);
}

TrackBuilder lyrics(std::initializer_list<std::pair<std::uint32_t, std::string>> events)
{
    TrackBuilder t;
    for (const auto &[delta, text] : events)
        t.lyric(delta, text);
    return t.endOfTrack();
}

std::vector<Case> cases()
{
    TrackBuilder kar;
    kar.text(0, "@KMIDI KARAOKE FILE").text(0, "@Tタイトル").text(480, "\\Hel").text(240, "lo");
    kar.text(1200, "/wor").text(0, "ld").endOfTrack();
    TrackBuilder both;
    both.text(0, "text").lyric(480, "lyric").endOfTrack();
    TrackBuilder threeFour;
    threeFour.timeSignature(0, 3, 2).lyric(3 * 480, "bar two").lyric(490, "/late").endOfTrack();
    TrackBuilder first, second;
    first.lyric(480, "b").endOfTrack();
    second.lyric(0, "a").lyric(480, "c").endOfTrack();
    TrackBuilder headersOnly;
    headersOnly.text(0, "@KMIDI KARAOKE FILE").text(0, "@LENGL").endOfTrack();
    TrackBuilder afterEnd;
    afterEnd.lyric(0, "in").endOfTrack().lyric(0, "/out");
    return {
        {"syllables joined; a slash starts a line",
         song({lyrics({{0, "Hel"}, {240, "lo "}, {240, "you"}, {240, "/next"}})}),
         {{"@WAIT(1,0);", "Hello you", "@WAIT(1,72);", "next"}}},
        {"CR and LF end lines, where they stand too",
         song({lyrics({{0, "one\r"}, {480, "two\n"}, {480, "three\r\nfour"}})}),
         {{"@WAIT(1,0);", "one", "@WAIT(1,48);", "two", "@WAIT(1,96);", "three", "@WAIT(1,96);",
           "four"}}},
        {"backslash and angle bracket start lines",
         song({lyrics({{0, "a"}, {480, "\\b"}, {480, "<c"}})}),
         {{"@WAIT(1,0);", "a", "@WAIT(1,48);", "b", "@WAIT(1,96);", "c"}}},
        {"a line's time is its first event with text",
         song({lyrics({{0, "x"}, {480, "/"}, {480, "\r"}, {480, "y"}})}),
         {{"@WAIT(1,0);", "x", "@WAIT(1,144);", "y"}}},
        {"KAR text events without their @ headers",
         song({kar}),
         {{"@WAIT(1,48);", "Hello", "@WAIT(2,0);", "world"}}},
        {"lyric events win over text events", song({both}), {{"@WAIT(1,48);", "lyric"}}},
        {"bars by the song's meter, steps not rounded to beats",
         song({threeFour}),
         {{"@WAIT(2,0);", "bar two", "@WAIT(2,49);", "late"}}},
        {"every track, in tick order, file order within a tick",
         song({first, second}),
         {{"@WAIT(1,0);", "abc"}}},
        {"Shift-JIS bytes as they are, a 0x5C trail byte too",
         song({lyrics({{0, "\x83\x5C\x83\x93\x83\x4F"}, {480, "/\x89\xCC"}})}),
         {{"@WAIT(1,0);", "\x83\x5C\x83\x93\x83\x4F", "@WAIT(1,48);", "\x89\xCC"}}},
        {"Ctrl-Z would end the script's text",
         song({lyrics({{0, "a\x1A"}, {0, "b"}})}),
         {{"@WAIT(1,0);", "ab"}}},
        {"RMID unwrapped", rmid(song({lyrics({{960, "r"}})})), {{"@WAIT(1,96);", "r"}}},
        {"nothing after End of Track", song({afterEnd}), {{"@WAIT(1,0);", "in"}}},
        {"KAR headers alone are no lyrics", song({headersOnly}), std::nullopt},
        {"marks and line ends alone are no lyrics",
         song({lyrics({{0, "/"}, {480, "\r\n"}, {0, "\\"}})}), std::nullopt},
        {"no events at all", song({TrackBuilder().note(0, 60).endOfTrack()}), std::nullopt},
    };
}

TEST(KaraokeLyrics, MakesAScriptOfTheSongsOwnLyrics)
{
    for (const Case &c : cases()) {
        const std::optional<SongTimeline> timeline = SongTimeline::fromSmf(c.image);
        ASSERT_TRUE(timeline) << c.name;
        const std::optional<std::vector<ScriptLine>> script = scriptFromKaraoke(c.image, *timeline);
        ASSERT_EQ(script.has_value(), c.body.has_value()) << c.name;
        if (!script)
            continue;
        std::vector<ScriptLine> expected = kDefaultHeader;
        expected.insert(expected.end(), c.body->begin(), c.body->end());
        expected.push_back(kClosingLine);
        EXPECT_EQ(*script, expected) << c.name;
    }
}

} // namespace
} // namespace velkan::test
