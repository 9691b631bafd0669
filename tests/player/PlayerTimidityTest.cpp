// The reading against the player itself: scripts run through TiMidity++
// beside songs with meter and tempo changes (skipped where it is not
// installed). What its trace prints must be what the reading shows, in the
// same order, each in the second the reading's tick falls in.
//
// The player prints the song time once a second. Every tempo of these songs
// is 8 or 16 s a quarter, so a second is 1/16 or 1/8 of a quarter note.
#include "midi/SmfBuilder.h"
#include "player/PlayerReading.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>

namespace velkan::test {
namespace {

bool hasTimidity()
{
    return std::system("command -v timidity >/dev/null 2>&1") == 0;
}

struct TracedEvent {
    std::string text;
    int second = -1; // -1: before the first second's mark
};

// The events the player's trace prints for SONG.mid and its SONG.wrd, from
// its @STARTUP on, each with the second it shows in.
std::vector<TracedEvent> playerTrace(const TempDir &dir, const std::string &song,
                                     int timeoutSeconds = 60)
{
    const std::string cfg =
        dir.write("tim.cfg", "soundfont /usr/share/sounds/sf2/default-GM.sf2\n");
    const std::string command = "timeout " + std::to_string(timeoutSeconds) + " timidity -c '" +
                                cfg + "' -Os -o null -s 8000 -Wd -idvt -t nocnv '" + song +
                                "' 2>/dev/null";
    FILE *pipe = ::popen(command.c_str(), "r");
    std::string out;
    if (pipe) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, got);
        ::pclose(pipe);
    }
    std::vector<TracedEvent> events;
    int second = -1;
    bool started = false;
    const std::regex mark(R"(^ {1,2}(\d+):(\d\d)(.*)$)");
    std::size_t from = 0;
    while (from < out.size()) {
        std::size_t end = out.find_first_of("\r\n", from);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr(from, end - from);
        from = end + 1;
        std::smatch m;
        if (std::regex_match(line, m, mark)) {
            second = std::stoi(m[1]) * 60 + std::stoi(m[2]);
            line = m[3];
        }
        if (line.starts_with("Playing time:"))
            break;
        if (line.starts_with("Last ") && line.ends_with(" MIDI events are ignored"))
            continue; // its own message about the song's end
        if (line.starts_with("@STARTUP("))
            started = true;
        if (started && !line.empty())
            events.push_back({line, second});
    }
    return events;
}

std::string printf1(const char *format, int value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string joined(const std::vector<int> &numbers, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count && i < numbers.size(); ++i)
        out += (i ? "," : "") + std::to_string(numbers[i]);
    return out;
}

// How the trace prints an event; empty for what it does not print. Only
// the first six numbers of @TCLS are its own (it prints one more).
std::string printed(const PlayerEvent &e)
{
    switch (e.kind) {
    case PlayerEventKind::Text:
        return e.bytes;
    case PlayerEventKind::LineFeed:
        return {};
    case PlayerEventKind::Startup:
        return "@STARTUP(" + joined(e.numbers, 1) + ")";
    case PlayerEventKind::Color:
        return "@COLOR(" + joined(e.numbers, 1) + ")";
    case PlayerEventKind::Locate:
        return "@LOCATE(" + joined(e.numbers, 2) + ")";
    case PlayerEventKind::Pal: {
        std::string out = "@PAL(" + printf1("%03d", e.numbers.at(0));
        for (std::size_t i = 1; i < e.numbers.size(); ++i)
            out += "," + printf1("%02x", (e.numbers[i] >> 4) & 0xFF);
        return out + ")";
    }
    case PlayerEventKind::Tcls:
        return "@TCLS(" + joined(e.numbers, 6) + ",";
    case PlayerEventKind::Fade:
        return "@FADE(" + joined(e.numbers, 3) + ")";
    case PlayerEventKind::FadeStep:
        return "@FADESTEP(" + std::to_string(e.numbers.at(0)) + "/12)";
    case PlayerEventKind::Gcls:
        return "@GCLS(" + joined(e.numbers, 1) + ")";
    case PlayerEventKind::Gon:
        return "@GON(" + joined(e.numbers, 1) + ")";
    case PlayerEventKind::Ton:
        return "@TON(" + joined(e.numbers, 1) + ")";
    case PlayerEventKind::Gmode:
        return "@GMODE(" + joined(e.numbers, 1) + ")";
    case PlayerEventKind::PalRev:
        return "@PALREV(" + joined(e.numbers, 1) + ")";
    case PlayerEventKind::Gscreen:
        return "@GSCREEN(" + joined(e.numbers, 2) + ")";
    case PlayerEventKind::Gline:
        return "@GLINE(" + joined(e.numbers, 7) + ")";
    case PlayerEventKind::Scroll:
        return "@SCROLL(" + joined(e.numbers, 7) + ")";
    case PlayerEventKind::Rem:
        return "@REM " + e.bytes;
    case PlayerEventKind::Esc:
        return "@ESC(" + e.bytes + ")";
    case PlayerEventKind::FontM:
    case PlayerEventKind::Tmode:
    case PlayerEventKind::Line:
    case PlayerEventKind::Gsc:
    case PlayerEventKind::ExtPal:
    case PlayerEventKind::ExtScroll: {
        std::string name(playerEventWord(e.kind));
        if (e.kind == PlayerEventKind::ExtPal || e.kind == PlayerEventKind::ExtScroll)
            name.erase(0, 1);
        for (char &ch : name)
            ch = static_cast<char>(ch - 'a' + 'A');
        return "^" + name + "(" + joined(e.numbers, e.numbers.size()) + ")";
    }
    default:
        return "?" + std::string(playerEventWord(e.kind));
    }
}

constexpr std::uint32_t q = 480;
constexpr std::uint32_t kSlow = 16000000;
constexpr std::uint32_t kLessSlow = 8000000;

TrackBuilder notesFor(std::uint32_t quarters)
{
    TrackBuilder notes;
    notes.note(0, 60).event(quarters * q, bytes({0x80, 60, 0})).endOfTrack();
    return notes;
}

// 4/4, then 3/4 from bar 3 and 6/8 from bar 5; one tempo.
std::string meterSong()
{
    TrackBuilder map;
    map.tempo(0, kSlow)
        .timeSignature(0, 4, 2)
        .timeSignature(8 * q, 3, 2)
        .timeSignature(6 * q, 6, 3)
        .endOfTrack();
    return smf(q, {map, notesFor(44)});
}

// Tempos inside bars, a 2/4 inside a 4/4 bar (quarter 5: from 8) in the
// second track, a 5/8 at quarter 14.
std::string tempoSong()
{
    TrackBuilder map;
    map.tempo(0, kSlow)
        .tempo(3 * q + 120, kLessSlow)
        .tempo(4 * q, kSlow)
        .tempo(9 * q + 240, kLessSlow)
        .endOfTrack();
    TrackBuilder notes;
    notes.timeSignature(5 * q, 2, 2)
        .timeSignature(9 * q, 5, 3)
        .note(0, 60)
        .event(40 * q, bytes({0x80, 60, 0}))
        .endOfTrack();
    return smf(q, {map, notes});
}

struct Case {
    const char *name;
    std::string song;
    std::vector<std::string> script;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class PlayerTimidityTest : public ::testing::TestWithParam<Case> {};

TEST_P(PlayerTimidityTest, ThePlayerShowsWhatTheReadingShowsWhenItSays)
{
    if (!hasTimidity())
        GTEST_SKIP() << "TiMidity++ is not installed";
    const Case &c = GetParam();
    const auto timeline = SongTimeline::fromSmf(c.song);
    ASSERT_TRUE(timeline);
    std::vector<std::string_view> lines(c.script.begin(), c.script.end());
    const std::vector<TimeSignatureEvent> signatures = playerTimeSignatures(c.song);
    const PlayerReading reading =
        readAsPlayer(lines, &*timeline, playerSongEndTick(c.song), &signatures);
    ASSERT_FALSE(reading.hangsAtLine);

    TempDir dir;
    const std::string song = dir.write("song.mid", c.song);
    std::string text;
    for (const std::string &l : c.script)
        text += l + "\r\n";
    dir.write("song.wrd", text);
    const std::vector<TracedEvent> traced = playerTrace(dir, song);

    std::vector<const PlayerEvent *> expected;
    for (const PlayerEvent &e : reading.events)
        if (!printed(e).empty())
            expected.push_back(&e);
    std::string both;
    for (std::size_t i = 0; i < std::max(traced.size(), expected.size()); ++i)
        both +=
            (i < traced.size() ? traced[i].text + " @" + std::to_string(traced[i].second) : "-") +
            "  |  " +
            (i < expected.size() ? printed(*expected[i]) + " @" + std::to_string(expected[i]->tick)
                                 : "-") +
            "\n";
    ASSERT_EQ(traced.size(), expected.size()) << "the player, then the reading:\n" << both;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const PlayerEvent &e = *expected[i];
        const std::string want = printed(e);
        if (e.kind == PlayerEventKind::Tcls)
            EXPECT_TRUE(traced[i].text.starts_with(want)) << i << ": " << traced[i].text;
        else
            EXPECT_EQ(traced[i].text, want) << "event " << i << " from line " << e.line + 1;
        // Shown in second s: after the mark of s, at or before that of s + 1.
        const double seconds = static_cast<double>(timeline->nanosAt(e.tick)) / 1e9;
        EXPECT_LE(traced[i].second, seconds + 0.02) << want << " at tick " << e.tick;
        EXPECT_GE(traced[i].second, seconds - 1.02) << want << " at tick " << e.tick;
    }
}

// Where the reading says the player hangs, the player shows nothing at all:
// it never finishes loading. (Given 3 s, where it reads the others in one.)
TEST(PlayerTimidity, ThePlayerHangsWhereTheReadingSaysSo)
{
    if (!hasTimidity())
        GTEST_SKIP() << "TiMidity++ is not installed";
    const std::string song = meterSong();
    const auto timeline = SongTimeline::fromSmf(song);
    ASSERT_TRUE(timeline);
    struct Script {
        std::vector<std::string> lines;
        bool hangs;
    };
    for (const Script &script :
         {Script{{"@STARTUP(427);", "a;", "@OFFSET(-2);", "@WAIT(2,0);", "b;"}, true},
          Script{{"@STARTUP(427);", "a;", "@OFFSET(1);", "@WAIT(0,0);", "b;"}, false}}) {
        std::vector<std::string_view> lines(script.lines.begin(), script.lines.end());
        EXPECT_EQ(readAsPlayer(lines, &*timeline).hangsAtLine.has_value(), script.hangs);
        TempDir dir;
        const std::string path = dir.write("song.mid", song);
        std::string text;
        for (const std::string &l : script.lines)
            text += l + "\r\n";
        dir.write("song.wrd", text);
        EXPECT_EQ(playerTrace(dir, path, 3).empty(), script.hangs) << script.lines[3];
    }
}

// Lines every script shares: a palette, a screen clear, colours, places.
const std::vector<std::string> kScreenSetUp = {
    "@PAL(#2,000,00F,0F0,0FF,F00,F0F,FF0,FFF,777,00A,0A0,0AA,A00,A0A,AA0,AAA);",
    "@TCLS();@TCLS(2,3,40,;4)",
    "@COLOR(33);@LOCATE(5;20);@LOCATE(7,9)",
};

std::vector<std::string> withSetUp(std::vector<std::string> head, std::vector<std::string> rest)
{
    head.insert(head.end(), kScreenSetUp.begin(), kScreenSetUp.end());
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

// Waits through meter changes, lyrics with and without ";", a fade.
std::vector<std::string> waitsScript()
{
    return withSetUp({"@STARTUP(427) @GON(1) @TON(1) @WMODE(23) @GCLS()"},
                     {"@WAIT(2,0);", "la;", "@WAIT(2,96)", "lb", "@WAIT(3,100);", "lc;",
                      "@WAIT(3,144);", "ld;", "@WAIT(4,500);", "le", "@WAIT(5,72);",
                      "@FADE(0,1,3);", "lf;", "@WAIT(6,-24);", "lg;", "@WAIT(6,12);", "lh"});
}

// One character a step: double-byte characters, "_", "|...|", "\x".
std::vector<std::string> charactersScript()
{
    return withSetUp({"@STARTUP(427);", "@WMODE(11,1);"},
                     {"@WAIT(2,0);", "ab\x82\xa0_cd;", "|ef|g\\hi", "\x88\xa4_|\x82\xa2\x82\xa4|;",
                      "@WMODE(5,0)", "jk", "lm;"});
}

// No @STARTUP: a @WAIT line ends as if with ";", and a @WMODE after it too.
std::vector<std::string> noStartupScript()
{
    return {"@WMODE(23)", "@WAIT(1,48)", "ma",          "@WAIT(2,0)", "@WMODE(11)", "mb",
            "mc",         "@OFFSET(1)",  "@WAIT(1,96)", "md;",        "@COLOR(31)", "me;"};
}

// Names cut short, any case, remarks, several commands on a line, backward
// waits, @REST and @OFFSET.
std::vector<std::string> namesScript()
{
    return {"@STARTUP(427);",
            "@wmode(23);",
            "@Col(35);@LoC(2,3);\t@gcls(1) @ton(0);@gmode(4);@palrev(1);",
            "@WAIT(3,0);",
            "na;",
            "@COLOR(36) what follows is a remark",
            "@WAIT(2,48);",
            "nb;",
            "@REST(1,24);",
            "nc;",
            "@OFFSET(-1);",
            "@WAIT(5,0);@ESC([2J);",
            "nd;",
            "@GSCREEN(1.0);@GLINE(1,2,3,4,5,6,7);@SCROLL(,2);",
            "# not a command",
            "ne;"};
}

// Rests, and an @END() that waits for the song's last event.
std::vector<std::string> restAndEndScript()
{
    return {"@STARTUP(427);", "@WMODE(11,1);", "@REST(1,24);", "ra_b;",
            "@REST(2,0);",    "rc;",           "@END();",      "rd;"};
}

// Odd lines: a full-width blank after "@", a ":" before a command, the
// extended "^" set, a bare "@", commands run together, a tab.
std::vector<std::string> oddLinesScript()
{
    return {"@STARTUP(0)",
            "@\x81\x40"
            "COLOR(31);",
            ": @COLOR(32);",
            "^FONTM(1);^PAL(1,2);^TMODE(1);^PAL(3);^LINE($1F);^GSC(2);^SCROLL(4;5)",
            "@COLOR(33)",
            "  @  ;@COLOR(34);",
            "pa;",
            "@WAIT(2,0)@COLOR(35)",
            "pb;",
            "@WMODE(11,1)\t@COLOR(36)",
            "\x82\xa0\x82\xa2_|pc|\x82",
            "pd"};
}

// A line longer than the player's 254 bytes is read as two.
std::vector<std::string> longLineScript()
{
    return {"@STARTUP(427);",
            "@WMODE(23);",
            std::string(250, 'x') + "yyyyzzzz",
            "@WAIT(3,0);",
            "@COLOR(32);" + std::string(250, ' ') + "@COLOR(34);",
            "oa"};
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, PlayerTimidityTest,
    ::testing::Values(Case{"WaitsInMeters", meterSong(), waitsScript()},
                      Case{"WaitsInTempos", tempoSong(), waitsScript()},
                      Case{"Characters", meterSong(), charactersScript()},
                      Case{"CharactersInTempos", tempoSong(), charactersScript()},
                      Case{"NoStartup", tempoSong(), noStartupScript()},
                      Case{"Names", meterSong(), namesScript()},
                      Case{"LongLine", tempoSong(), longLineScript()},
                      Case{"RestAndEnd", meterSong(), restAndEndScript()},
                      Case{"OddLines", tempoSong(), oddLinesScript()},
                      Case{"RestAndEndInTempos", tempoSong(), restAndEndScript()}),
    [](const ::testing::TestParamInfo<Case> &test) { return std::string(test.param.name); });

} // namespace
} // namespace velkan::test
