#include "ToolRun.h"

#include "midi/SmfBuilder.h"
#include "script/ScriptFile.h"

namespace velkan::test {
namespace {

std::string karaoke()
{
    TrackBuilder t;
    t.text(0, "@KMIDI KARAOKE FILE").text(480, "\\\x89\xCC").text(240, "\x82\xA4\r");
    t.text(1200, "/two").endOfTrack();
    return smf(480, {t});
}

TEST(ToolLyrics, WritesTheSongsLyricsAsATimedScriptOrNothing)
{
    std::vector<std::string> script(kDefaultHeader.begin(), kDefaultHeader.end());
    for (const char *line : {"@WAIT(1,48);", "\x89\xCC\x82\xA4", "@WAIT(2,0);", "two", "@END();"})
        script.emplace_back(line);
    TrackBuilder headersOnly;
    headersOnly.text(0, "@KMIDI KARAOKE FILE").endOfTrack();
    const std::string noLyrics = "この曲には歌詞がありません";
    const std::string noMidi =
        "MIDI ファイルとして読めません (ヘッダーがないか、分解能が 0 か SMPTE です)";
    struct Case {
        const char *name;
        std::optional<std::string> song; // none: no such file
        int status;
        std::string out;
        std::string message; // on standard error, before ": song.mid"
    };
    const std::vector<Case> cases = {
        {"KAR text events", karaoke(), 0, crlf(script), ""},
        {"RMID", rmid(karaoke()), 0, crlf(script), ""},
        {"no lyrics", smf(480, {headersOnly}), 1, "", noLyrics},
        {"not a MIDI file", std::string("lyrics\r\n"), 1, "", noMidi},
        {"no such file", std::nullopt, 1, "", "入力ファイルが開けません"},
    };
    ToolDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir.file("song.mid"));
        if (c.song)
            dir.write("song.mid", *c.song);
        const std::string err =
            c.message.empty() ? "" : "velkan-tool: " + c.message + ": song.mid\n";
        const ToolRun toStdout = dir.run({"lyrics", "song.mid"});
        EXPECT_EQ(toStdout.status, c.status);
        EXPECT_EQ(toStdout.out, c.out);
        EXPECT_EQ(toStdout.err, err);

        // An existing OUT is replaced only by a whole script.
        const std::string out = dir.write("out.wrd", "old\r\n");
        const ToolRun toFile = dir.run({"lyrics", "song.mid", "-o", "out.wrd"});
        EXPECT_EQ(toFile.status, c.status);
        EXPECT_EQ(toFile.out, "");
        EXPECT_EQ(readBytes(out), c.status == 0 ? c.out : "old\r\n");
    }
    EXPECT_EQ(dir.run({"lyrics"}).status, 2);
    EXPECT_EQ(dir.run({"lyrics", "a.mid", "b.mid"}).status, 2);
}

} // namespace
} // namespace velkan::test
