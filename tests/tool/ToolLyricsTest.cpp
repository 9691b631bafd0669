#include "ToolRun.h"

#include "midi/SmfBuilder.h"
#include "script/ScriptFile.h"

namespace velkan::test {
namespace {

TEST(ToolLyrics, WritesTheSongsLyricsAsATimedScriptOrNothing)
{
    TrackBuilder kar, headersOnly;
    kar.text(0, "@KMIDI KARAOKE FILE").text(480, "\\\x89\xCC").text(240, "\x82\xA4\r");
    kar.text(1200, "/two").endOfTrack();
    headersOnly.text(0, "@KMIDI KARAOKE FILE").endOfTrack();
    std::vector<std::string> script(kDefaultHeader.begin(), kDefaultHeader.end());
    for (const char *line : {"@WAIT(1,48);", "\x89\xCC\x82\xA4", "@WAIT(2,0);", "two", "@END();"})
        script.emplace_back(line);
    struct Case {
        std::optional<std::string> song; // none: no such file
        int status;
        std::string out;
        std::string err;
    };
    const std::string mid = ": song.mid\n";
    const std::vector<Case> cases = {
        {smf(480, {kar}), 0, crlf(script), ""},
        {smf(480, {headersOnly}), 1, "", "velkan-tool: この曲には歌詞がありません" + mid},
        {"lyrics\r\n", 1, "",
         "velkan-tool: MIDI ファイルとして読めません (ヘッダーがないか、分解能が 0 か SMPTE です)" +
             mid},
        {std::nullopt, 1, "", "velkan-tool: 入力ファイルが開けません" + mid},
    };
    ToolDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err);
        fs::remove(dir.file("song.mid"));
        if (c.song)
            dir.write("song.mid", *c.song);
        const ToolRun toStdout = dir.run({"lyrics", "song.mid"});
        EXPECT_EQ(toStdout.status, c.status);
        EXPECT_EQ(toStdout.out, c.out);
        EXPECT_EQ(toStdout.err, c.err);
        // An existing OUT is replaced only by a whole script.
        const std::string out = dir.write("out.wrd", "old\r\n");
        EXPECT_EQ(dir.run({"lyrics", "song.mid", "-o", "out.wrd"}).status, c.status);
        EXPECT_EQ(readBytes(out), c.status == 0 ? c.out : "old\r\n");
    }
    EXPECT_EQ(dir.run({"lyrics"}).status, 2);
}

} // namespace
} // namespace velkan::test
