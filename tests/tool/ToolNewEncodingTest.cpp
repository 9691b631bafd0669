// velkan-tool new on lyrics written in UTF-8 or UTF-16.
#include "ToolRun.h"

#include "script/ScriptFile.h"

#include <algorithm>

namespace velkan::test {
namespace {

// "歌詞〜" / "A−B" / "¬" in Shift-JIS, and the same text in Unicode.
const std::string kShiftJisBody = "\x89\xCC\x8E\x8C\x81\x60\r\nA\x81\x7C"
                                  "B\r\n\x81\xCA\r\n";
const std::string kUtf8Body = "\xE6\xAD\x8C\xE8\xA9\x9E\xE3\x80\x9C\r\nA\xE2\x88\x92"
                              "B\n\xC2\xAC\n";
const std::u16string kUtf16Body = u"歌詞〜\r\nA−B\n¬\n";

std::string utf16(std::u16string_view units, bool littleEndian)
{
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : units) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return out;
}

std::string headed(const std::string &crlfBody)
{
    std::string out;
    for (const ScriptLine &line : kDefaultHeader)
        out += line + "\r\n";
    return out + crlfBody + kClosingLine + "\r\n";
}

TEST(ToolNewEncoding, UnicodeLyricsBecomeShiftJisScripts)
{
    struct Case {
        const char *name;
        std::string input;
        std::string written;
        const char *encoding; // as the note names it
    };
    const Case cases[] = {
        {"UTF-8", kUtf8Body, headed(kShiftJisBody), "UTF-8"},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBF" + kUtf8Body, headed(kShiftJisBody),
         "UTF-8 (BOM 付き)"},
        {"UTF-16 LE", utf16(kUtf16Body, true), headed(kShiftJisBody), "UTF-16 LE"},
        {"UTF-16 BE", utf16(kUtf16Body, false), headed(kShiftJisBody), "UTF-16 BE"},
        {"UTF-16 script keeps its first line", utf16(u"@WAIT(1,0);\r\n〜", true),
         "@WAIT(1,0);\r\n\x81\x60\r\n", "UTF-16 LE"},
    };
    ToolDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir.write("in.txt", c.input);
        const std::string note =
            std::string("velkan-tool: ") + c.encoding + " のファイルを Shift-JIS に変換しました: ";

        const ToolRun toFile = dir.run({"new", in, "-o", dir.file("out.wrd")});
        EXPECT_EQ(toFile.status, 0);
        EXPECT_EQ(toFile.out, "");
        EXPECT_EQ(toFile.err, note + in + "\n");
        EXPECT_EQ(readBytes(dir.file("out.wrd")), c.written);

        const ToolRun fromStdin = dir.run({"new", "-"}, &c.input);
        EXPECT_EQ(fromStdin.status, 0);
        EXPECT_EQ(fromStdin.out, c.written);
        EXPECT_EQ(fromStdin.err, note + "-\n");
    }
}

TEST(ToolNewEncoding, ShiftJisAndAsciiAreNotConverted)
{
    ToolDir dir;
    for (const std::string &input : {kShiftJisBody, std::string("A\r\nB\r\n")}) {
        const ToolRun r = dir.run({"new", dir.write("in.txt", input)});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, headed(input));
        EXPECT_EQ(r.err, "");
    }
}

TEST(ToolNewEncoding, ACharacterWithoutCodeFailsAndLeavesOutWhole)
{
    ToolDir dir;
    const std::string old = dir.write("old.wrd", "old script\r\n");
    struct Case {
        const char *name;
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        {"accent on line 2", "A\ncaf\xC3\xA9\n",
         "2 行目の「é」(U+00E9) は Shift-JIS で表せない文字のため、読み込めません"},
        {"emoji on line 3 of UTF-16", utf16(u"A\r\n\r\n\xD83C\xDFB5", false),
         "3 行目の「🎵」(U+1F3B5) は Shift-JIS で表せない文字のため、読み込めません"},
        {"lone surrogate", utf16(u"\xD800", true),
         "1 行目に UTF-16 LE として読めないバイトがあるため、読み込めません"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir.write("in.txt", c.input);
        const ToolRun r = dir.run({"new", in, "-o", old});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "velkan-tool: " + c.message + ": " + in + "\n");
        EXPECT_EQ(readBytes(old), "old script\r\n");

        const ToolRun toStdout = dir.run({"new", in});
        EXPECT_EQ(toStdout.status, 1);
        EXPECT_EQ(toStdout.out, "");
    }
    // No temporary file is left beside the output.
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"in.txt", "old.wrd"}));
}

} // namespace
} // namespace velkan::test
