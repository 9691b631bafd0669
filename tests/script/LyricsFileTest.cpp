#include "script/LyricsFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkan {
namespace {

// Hands out the bytes of one file, whatever path is asked for.
class OneFile : public FileSystem {
public:
    explicit OneFile(std::string bytes, ReadStatus status = ReadStatus::Ok)
        : m_bytes(std::move(bytes)), m_status(status)
    {
    }
    ReadStatus readAll(const std::string &, ByteBlock &out) const override
    {
        if (m_status == ReadStatus::CannotOpen || m_status == ReadStatus::TooLarge)
            return m_status;
        out = ByteBlock(m_bytes);
        return m_status;
    }

private:
    std::string m_bytes;
    ReadStatus m_status;
};

std::vector<ScriptLine> withHeader(std::vector<ScriptLine> body)
{
    std::vector<ScriptLine> all(kDefaultHeader);
    all.insert(all.end(), body.begin(), body.end());
    all.emplace_back(kClosingLine);
    return all;
}

TEST(LyricsFile, ShiftJisFilesLoadAsTheScriptLoadReadsThem)
{
    const std::string cases[] = {
        "",
        "A\nB\n",
        "@WAIT(1,0);\r\n\x82\xA0\x82\xA2\r\n@END();\r\n",
        "\x82\xA0\x82\xB3\x82\xCC \x82\xD0\x82\xA9\x82\xE8\r\n",
        std::string("@A\0B\r\n\0\r\nC", 10),
        "@\x81\r\n\xFF\xFE\x80\xA0\x81\x7F\r\n\x82",
        "@a\rb\rc\r",
        "@A\r\nB\x1A\xE3\x81\x82\r\n",
        "\x1A",
    };
    for (const std::string &bytes : cases) {
        SCOPED_TRACE(bytes);
        const OneFile file(bytes);
        const LyricsLoadResult lyrics = loadLyricsFile("x", file);
        const LoadResult script = loadScriptFile("x", file);
        EXPECT_EQ(lyrics.encoding, TextEncoding::ShiftJis);
        EXPECT_FALSE(lyrics.problem.has_value());
        EXPECT_EQ(lyrics.status, script.status);
        EXPECT_TRUE(lyrics.lines == script.lines);
    }
}

TEST(LyricsFile, UnicodeFilesAreConvertedBeforeTheLoadRule)
{
    struct Case {
        const char *what;
        std::string bytes;
        TextEncoding encoding;
        std::vector<ScriptLine> lines;
    };
    const Case cases[] = {
        {"UTF-8 lyrics get the header", "\xE3\x81\x82\xE3\x80\x9C\n\xE6\xAD\x8C\n",
         TextEncoding::Utf8, withHeader({"\x82\xA0\x81\x60", "\x89\xCC"})},
        {"a byte-order mark does not hide the @ of a script",
         "\xEF\xBB\xBF@WAIT(1,0);\r\n\xE3\x81\x82",
         TextEncoding::Utf8Bom,
         {"@WAIT(1,0);", "\x82\xA0"}},
        {"a byte-order mark alone is an empty text", "\xEF\xBB\xBF", TextEncoding::Utf8Bom,
         withHeader({})},
        {"UTF-16 LE, CR LF",
         std::string("\xFF\xFE@\0\r\0\n\0B\x30", 10),
         TextEncoding::Utf16Le,
         {"@", "\x82\xA0"}},
        {"UTF-16 BE, LF", std::string("\xFE\xFF\0A\0\n\x30\x42", 8), TextEncoding::Utf16Be,
         withHeader({"A", "\x82\xA0"})},
        {"Ctrl-Z ends the text",
         "@\xE3\x81\x82\r\nB\x1A\r\nC\r\n",
         TextEncoding::Utf8,
         {"@\x82\xA0", "B"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const LyricsLoadResult result = loadLyricsFile("x", OneFile(c.bytes));
        EXPECT_EQ(result.status, LoadResult::Status::Ok);
        EXPECT_FALSE(result.problem.has_value());
        EXPECT_EQ(result.encoding, c.encoding);
        EXPECT_TRUE(result.lines == c.lines);
    }
}

TEST(LyricsFile, ACharacterWithoutCodeLoadsNothing)
{
    const LyricsLoadResult result =
        loadLyricsFile("x", OneFile("\xE3\x81\x82\n\xE3\x81\x84\ncaf\xC3\xA9\n"));
    ASSERT_TRUE(result.problem.has_value());
    EXPECT_EQ(result.problem->kind, ConversionProblem::Kind::NoShiftJisCode);
    EXPECT_EQ(result.problem->line, 3u);
    EXPECT_EQ(result.problem->character, U'é');
    EXPECT_EQ(result.encoding, TextEncoding::Utf8);
    EXPECT_TRUE(result.lines.empty());
}

TEST(LyricsFile, ReadFailuresAreTheScriptLoads)
{
    using RS = FileSystem::ReadStatus;
    using LS = LoadResult::Status;
    struct Case {
        RS read;
        LS status;
        std::size_t lines;
    };
    const Case cases[] = {
        {RS::CannotOpen, LS::CannotOpen, 0},
        {RS::TooLarge, LS::NoMemory, 0},
        // What was read before the error is loaded, converted as a whole file would be.
        {RS::ReadError, LS::ReadError, 6},
    };
    for (const Case &c : cases) {
        const LyricsLoadResult result = loadLyricsFile("x", OneFile("\xE3\x81\x82\n", c.read));
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.lines.size(), c.lines);
    }

    struct NoMemory : FileSystem {
        ReadStatus readAll(const std::string &, ByteBlock &) const override
        {
            throw std::bad_alloc();
        }
    } noMemory;
    const LyricsLoadResult result = loadLyricsFile("x", noMemory);
    EXPECT_EQ(result.status, LS::NoMemory);
    EXPECT_TRUE(result.lines.empty());
}

} // namespace
} // namespace velkan
