#include "ToolRun.h"

#include "script/ScriptFile.h"

#include <algorithm>

namespace velkan::test {
namespace {

const std::string kAi = "\x82\xA0\x82\xA2"; // Shift-JIS "あい"

std::vector<std::string> withHeader(std::vector<std::string> body)
{
    std::vector<std::string> all(kDefaultHeader.begin(), kDefaultHeader.end());
    all.insert(all.end(), body.begin(), body.end());
    all.emplace_back("@END();");
    return all;
}

TEST(ToolNew, LoadsAsTheEditorAndSavesWithCrLf)
{
    struct Case {
        const char *name;
        std::string input;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"lyrics get header and closing line", "A\nB\n", crlf(withHeader({"A", "B"}))},
        {"script that begins with @ is kept byte for byte",
         "@WAIT(1,0);\r\n" + kAi + "\r\n\r\n@END();\r\n",
         "@WAIT(1,0);\r\n" + kAi + "\r\n\r\n@END();\r\n"},
        {"lyric first line gets a header even before @END();", "A\r\n@END();\r\n",
         crlf(withHeader({"A", "@END();"}))},
        {"empty file", "", crlf(withHeader({}))},
        {"ctrl-z at the start",
         "\x1A"
         "A\r\n",
         crlf(withHeader({}))},
        {"ctrl-z ends the text",
         "@A\r\nB\x1A"
         "C\r\n",
         crlf({"@A", "B"})},
        {"lone cr stays, last line gets its end", "@A\rB\r\nC", crlf({"@A\rB", "C"})},
        {"blank first line is lyric text", "\r\n@X\r\n", crlf(withHeader({"", "@X"}))},
        {"shift-jis, tabs and trailing blanks untouched", "\t" + kAi + "  \n",
         crlf(withHeader({"\t" + kAi + "  "}))},
    };
    ToolDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir.write("in.txt", c.input);

        const ToolRun toStdout = dir.run({"new", in});
        EXPECT_EQ(toStdout.status, 0);
        EXPECT_EQ(toStdout.out, c.written);
        EXPECT_EQ(toStdout.err, "");

        const ToolRun toFile = dir.run({"new", in, "-o", dir.file("out.wrd")});
        EXPECT_EQ(toFile.status, 0);
        EXPECT_EQ(toFile.out, "");
        EXPECT_EQ(readBytes(dir.file("out.wrd")), c.written);

        const ToolRun fromStdin = dir.run({"new", "-", "--output=-"}, &c.input);
        EXPECT_EQ(fromStdin.status, 0);
        EXPECT_EQ(fromStdin.out, c.written);
    }
}

TEST(ToolNew, DemoLyricsBecomeTheEditorsScript)
{
    const std::string demo = VELKAN_EXAMPLES_DIR "/demo.txt";
    ASSERT_TRUE(fs::exists(demo));
    ToolDir dir;
    const ToolRun r = dir.run({"new", demo});
    ASSERT_EQ(r.status, 0);
    // The header, the eight lyric lines as they stand in the file, the closing line.
    std::string lyrics = readBytes(demo);
    std::vector<std::string> body;
    for (std::size_t start = 0, end; (end = lyrics.find('\n', start)) != std::string::npos;
         start = end + 1)
        body.push_back(lyrics.substr(start, end - start - (lyrics[end - 1] == '\r')));
    ASSERT_EQ(body.size(), 8u);
    EXPECT_EQ(r.out, crlf(withHeader(body)));
}

TEST(ToolNew, FailuresWriteNothingAndLeaveTheOldOutputWhole)
{
    ToolDir dir;
    const std::string in = dir.write("in.txt", "A\r\n");
    const std::string old = dir.write("old.wrd", "old script\r\n");
    fs::create_directory(dir.path() / "folder");

    struct Case {
        const char *name;
        std::vector<std::string> args;
        std::string message; // the editor's message, then the file name
    };
    const std::vector<Case> cases = {
        {"missing lyrics",
         {"new", dir.file("none.txt"), "-o", old},
         "velkan-tool: 入力ファイルが開けません: " + dir.file("none.txt") + "\n"},
        {"lyrics is a folder",
         {"new", dir.file("folder"), "-o", old},
         "velkan-tool: 入力ファイルが開けません: " + dir.file("folder") + "\n"},
        {"output in a missing folder",
         {"new", in, "-o", dir.file("nowhere/x.wrd")},
         "velkan-tool: WRDファイルが開けません: " + dir.file("nowhere/x.wrd") +
             ": ファイルを書き込み用に開けませんでした (フォルダーがありません)\n"},
        {"output is a folder",
         {"new", in, "-o", dir.file("folder")},
         "velkan-tool: WRDファイルが開けません: " + dir.file("folder") +
             ": ファイルを書き込み用に開けませんでした (フォルダーです)\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun r = dir.run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(readBytes(old), "old script\r\n");
        EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
        EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
        EXPECT_TRUE(fs::is_empty(dir.path() / "folder"));
    }
    // No temporary file is left beside the outputs.
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder", "in.txt", "old.wrd"}));
}

} // namespace
} // namespace velkan::test
