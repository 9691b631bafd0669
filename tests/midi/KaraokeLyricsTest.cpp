#include "midi/KaraokeLyrics.h"
#include "midi/SmfBuilder.h"
#include "script/ScriptFile.h"

#include <gtest/gtest.h>

namespace velkan::test {
namespace {

TrackBuilder words(int type, std::initializer_list<std::pair<std::uint32_t, std::string>> events)
{
    TrackBuilder t;
    for (const auto &[delta, text] : events)
        t.meta(delta, type, text);
    return t.endOfTrack();
}
TrackBuilder lyrics(std::initializer_list<std::pair<std::uint32_t, std::string>> events)
{
    return words(0x05, events);
}

TEST(KaraokeLyrics, MakesAScriptOfTheSongsOwnLyrics)
{
    TrackBuilder threeFour;
    threeFour.timeSignature(0, 3, 2).lyric(1440, "bar two").lyric(490, "/late").endOfTrack();
    struct Case {
        const char *name;
        std::vector<TrackBuilder> tracks;
        std::vector<std::string> body; // between the header and "@END();"; empty: no script
    };
    const std::vector<Case> cases = {
        {"syllables joined; a slash starts a line",
         {lyrics({{0, "Hel"}, {240, "lo "}, {240, "you"}, {240, "/next"}})},
         {"@WAIT(1,0);", "Hello you", "@WAIT(1,72);", "next"}},
        {"CR and LF end lines, inside an event too",
         {lyrics({{0, "one\r"}, {480, "two\n"}, {480, "three\r\nfour"}})},
         {"@WAIT(1,0);", "one", "@WAIT(1,48);", "two", "@WAIT(1,96);", "three", "@WAIT(1,96);",
          "four"}},
        {"a backslash or < starts a line; its time is its first text",
         {lyrics({{0, "a"}, {480, "\\"}, {480, "\r"}, {480, "b"}, {480, "<c"}})},
         {"@WAIT(1,0);", "a", "@WAIT(1,144);", "b", "@WAIT(2,0);", "c"}},
        {"KAR text events less their @ headers",
         {words(0x01, {{0, "@KMIDI KARAOKE FILE"}, {480, "\\Hel"}, {240, "lo"}, {1200, "/x"}})},
         {"@WAIT(1,48);", "Hello", "@WAIT(2,0);", "x"}},
        {"lyric events win over text events",
         {words(0x01, {{0, "text"}}), lyrics({{480, "ly"}})},
         {"@WAIT(1,48);", "ly"}},
        {"bars by the song's meter, steps exact",
         {threeFour},
         {"@WAIT(2,0);", "bar two", "@WAIT(2,49);", "late"}},
        {"every track in tick order, file order within a tick",
         {lyrics({{480, "b"}}), lyrics({{0, "a"}, {480, "c"}})},
         {"@WAIT(1,0);", "abc"}},
        {"Shift-JIS bytes as they are (0x5C trail byte); Ctrl-Z dropped",
         {lyrics({{0, "\x83\x5C\x83\x93\x1A"}, {480, "/\x89\xCC"}})},
         {"@WAIT(1,0);", "\x83\x5C\x83\x93", "@WAIT(1,48);", "\x89\xCC"}},
        {"headers, marks and line ends alone are no lyrics",
         {words(0x01, {{0, "@KMIDI KARAOKE FILE"}, {0, "/"}, {480, "\r\n"}})},
         {}},
    };
    for (const Case &c : cases) {
        for (const std::string &image : {smf(480, c.tracks), rmid(smf(480, c.tracks))}) {
            const std::optional<SongTimeline> timeline = SongTimeline::fromSmf(image);
            ASSERT_TRUE(timeline) << c.name;
            const auto script = scriptFromKaraoke(image, *timeline);
            std::vector<ScriptLine> expected = kDefaultHeader;
            expected.insert(expected.end(), c.body.begin(), c.body.end());
            expected.push_back(kClosingLine);
            EXPECT_EQ(script, c.body.empty() ? std::nullopt : std::optional(expected)) << c.name;
        }
    }
}

} // namespace
} // namespace velkan::test
