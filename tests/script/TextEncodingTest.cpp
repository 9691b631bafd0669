#include "script/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace velkan {
namespace {

using Kind = ConversionProblem::Kind;

// UTF-16 code units as bytes in either order.
std::string utf16(std::u16string_view units, bool littleEndian)
{
    std::string out;
    for (char16_t u : units) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return out;
}

const std::string kLe = "\xFF\xFE", kBe = "\xFE\xFF", kBom8 = "\xEF\xBB\xBF";
// Longer than a word of ASCII, so the eight-byte stride is crossed.
const std::string kAsciiRun = "@WAIT(12,96);@LOCATE(5;20);";

TEST(TextEncoding, DetectsWhatTheBytesAre)
{
    struct Case {
        const char *what;
        std::string bytes;
        TextEncoding expected;
    };
    const Case cases[] = {
        {"empty", "", TextEncoding::ShiftJis},
        {"ASCII alone stays as it is", kAsciiRun + "\r\nA\n", TextEncoding::ShiftJis},
        {"ASCII with NUL and controls", std::string("A\0\x1C\x7F", 4), TextEncoding::ShiftJis},
        {"UTF-8 lyrics", "\xE3\x81\x82\xE3\x81\x95\xE3\x81\xAE\n", TextEncoding::Utf8},
        {"UTF-8 after a long ASCII run", kAsciiRun + "\xE2\x80\x94", TextEncoding::Utf8},
        {"two-byte UTF-8", "caf\xC3\xA9", TextEncoding::Utf8},
        {"four-byte UTF-8", "\xF0\x9F\x8E\xB5", TextEncoding::Utf8},
        {"highest character U+10FFFF", "\xF4\x8F\xBF\xBF", TextEncoding::Utf8},
        {"UTF-8 byte-order mark", kBom8 + "A", TextEncoding::Utf8Bom},
        {"UTF-8 byte-order mark alone", kBom8, TextEncoding::Utf8Bom},
        {"UTF-8 byte-order mark, bad bytes after", kBom8 + "\x82\xA0", TextEncoding::Utf8Bom},
        {"UTF-16 LE byte-order mark", kLe + utf16(u"A", true), TextEncoding::Utf16Le},
        {"UTF-16 BE byte-order mark", kBe + utf16(u"A", false), TextEncoding::Utf16Be},
        {"UTF-16 LE byte-order mark alone", kLe, TextEncoding::Utf16Le},
        // Shift-JIS lyrics: kana and kanji leads are UTF-8 continuation bytes.
        {"Shift-JIS kana", "\x82\xA0\x82\xB3\x82\xCC", TextEncoding::ShiftJis},
        {"Shift-JIS after a long ASCII run", kAsciiRun + "\x89\xCC\x8E\x8C",
         TextEncoding::ShiftJis},
        {"Shift-JIS half-width katakana", "\xB1\xB2\xB3", TextEncoding::ShiftJis},
        {"Shift-JIS kanji whose bytes start a UTF-8 sequence", "\xE3\x82\x41",
         TextEncoding::ShiftJis},
        // Not strictly valid UTF-8: read as Shift-JIS.
        {"overlong two-byte NUL", "A\xC0\x80", TextEncoding::ShiftJis},
        {"overlong two-byte slash", "A\xC1\xAF", TextEncoding::ShiftJis},
        {"overlong three-byte", "A\xE0\x80\xAF", TextEncoding::ShiftJis},
        {"overlong four-byte", "A\xF0\x80\x80\xAF", TextEncoding::ShiftJis},
        {"high surrogate", "A\xED\xA0\x80", TextEncoding::ShiftJis},
        {"low surrogate", "A\xED\xBF\xBF", TextEncoding::ShiftJis},
        {"past U+10FFFF", "A\xF4\x90\x80\x80", TextEncoding::ShiftJis},
        {"F5 lead", "A\xF5\x80\x80\x80", TextEncoding::ShiftJis},
        {"FF byte", "\xE3\x81\x82\xFF", TextEncoding::ShiftJis},
        {"sequence cut short at the end", "\xE3\x81\x82\xE3\x81", TextEncoding::ShiftJis},
        {"sequence cut short by ASCII",
         "\xE3\x81"
         "A\xE3\x81\x82",
         TextEncoding::ShiftJis},
        {"lone continuation byte", "\xE3\x81\x82\x81", TextEncoding::ShiftJis},
        {"one bad sequence among good ones", "\xE3\x81\x82\x82\xA0\xE3\x81\x82",
         TextEncoding::ShiftJis},
        // Past the first Ctrl-Z nothing is read.
        {"UTF-8, Ctrl-Z, bad bytes", "\xE3\x81\x82\x1A\x82\xA0", TextEncoding::Utf8},
        {"ASCII, Ctrl-Z, UTF-8", "A\x1A\xE3\x81\x82", TextEncoding::ShiftJis},
        {"bad bytes, Ctrl-Z, UTF-8", "\x82\xA0\x1A\xE3\x81\x82", TextEncoding::ShiftJis},
        // The rare Shift-JIS text that is valid UTF-8 (half-width "ﾃｽ" is
        // C3 BD, "ý") is read as UTF-8.
        {"half-width katakana pair that spells UTF-8", "\xC3\xBD", TextEncoding::Utf8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detectTextEncoding(c.bytes), c.expected);
    }
}

TEST(TextEncoding, ConvertsToShiftJis)
{
    struct Case {
        const char *what;
        TextEncoding from;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"kana and line ends kept", TextEncoding::Utf8,
         "\xE3\x81\x82\r\n\xE3\x81\x84\n\xE3\x81\x86", "\x82\xA0\r\n\x82\xA2\n\x82\xA4"},
        {"half-width katakana", TextEncoding::Utf8, "\xEF\xBD\xB1", "\xB1"},
        {"the eight characters Linux input gives", TextEncoding::Utf8,
         "\xE3\x80\x9C\xE2\x80\x96\xE2\x88\x92\xC2\xA2\xC2\xA3\xC2\xAC\xE2\x80\x94\xC2\xA6",
         "\x81\x60\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA\x81\x5C\xFA\x55"},
        {"ASCII controls keep their bytes", TextEncoding::Utf8,
         std::string("\x1C\x7F\0\xE3\x81\x82", 6), std::string("\x1C\x7F\0\x82\xA0", 5)},
        {"Ctrl-Z ends the text", TextEncoding::Utf8, "\xE3\x81\x82\x1A\xC3\xA9\xFF", "\x82\xA0"},
        {"byte-order mark dropped", TextEncoding::Utf8Bom, kBom8 + "@A\r\n", "@A\r\n"},
        {"byte-order mark alone", TextEncoding::Utf8Bom, kBom8, ""},
        {"UTF-16 LE", TextEncoding::Utf16Le, kLe + utf16(u"A\r\nあ〜", true),
         "A\r\n\x82\xA0\x81\x60"},
        {"UTF-16 BE", TextEncoding::Utf16Be, kBe + utf16(u"A\r\nあ〜", false),
         "A\r\n\x82\xA0\x81\x60"},
        {"UTF-16 Ctrl-Z ends the text", TextEncoding::Utf16Le, kLe + utf16(u"A\x1A\xD800", true),
         "A"},
        {"UTF-16 unit holding byte 1A is no Ctrl-Z", TextEncoding::Utf16Le,
         kLe + utf16(u"\x5C1A", true), "\x8F\xAE"},
        {"Shift-JIS comes back as it is", TextEncoding::ShiftJis, "\x82\xA0\x1A\xFF",
         "\x82\xA0\x1A\xFF"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ShiftJisConversion converted = convertToShiftJis(c.bytes, c.from);
        EXPECT_FALSE(converted.problem.has_value());
        EXPECT_EQ(converted.bytes, c.expected);
    }
}

TEST(TextEncoding, NamesTheLineAndCharacterItCannotConvert)
{
    struct Case {
        const char *what;
        TextEncoding from;
        std::string bytes;
        Kind kind;
        std::size_t line;
        char32_t character;
    };
    const Case cases[] = {
        {"first line", TextEncoding::Utf8, "caf\xC3\xA9", Kind::NoShiftJisCode, 1, 0xE9},
        {"third line after LF and CR LF", TextEncoding::Utf8, "a\nb\r\nc\xC3\xA9",
         Kind::NoShiftJisCode, 3, 0xE9},
        {"a lone CR ends no line", TextEncoding::Utf8, "a\rb\xC3\xA9", Kind::NoShiftJisCode, 1,
         0xE9},
        {"at the start of a line", TextEncoding::Utf8, "a\n\xF0\x9F\x8E\xB5", Kind::NoShiftJisCode,
         2, 0x1F3B5},
        {"yen sign", TextEncoding::Utf8Bom, kBom8 + "\xC2\xA5", Kind::NoShiftJisCode, 1, 0xA5},
        {"byte-order mark again inside", TextEncoding::Utf8Bom, kBom8 + "a\n" + kBom8,
         Kind::NoShiftJisCode, 2, 0xFEFF},
        {"bad UTF-8 after a byte-order mark", TextEncoding::Utf8Bom, kBom8 + "a\n\n\x82\xA0",
         Kind::Malformed, 3, 0},
        {"cut short after a byte-order mark", TextEncoding::Utf8Bom, kBom8 + "\xE3\x81",
         Kind::Malformed, 1, 0},
        {"UTF-16 character beyond the BMP", TextEncoding::Utf16Be,
         kBe + utf16(u"\n\xD83C\xDFB5", false), Kind::NoShiftJisCode, 2, 0x1F3B5},
        {"UTF-16 lone high surrogate", TextEncoding::Utf16Le,
         kLe + utf16(u"a\n\xD800"
                     u"b",
                     true),
         Kind::Malformed, 2, 0},
        {"UTF-16 high surrogate at the end", TextEncoding::Utf16Le, kLe + utf16(u"a\xD800", true),
         Kind::Malformed, 1, 0},
        {"UTF-16 lone low surrogate", TextEncoding::Utf16Be, kBe + utf16(u"\n\n\xDC00", false),
         Kind::Malformed, 3, 0},
        {"UTF-16 odd byte at the end", TextEncoding::Utf16Le, kLe + utf16(u"a\n", true) + "b",
         Kind::Malformed, 2, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ShiftJisConversion converted = convertToShiftJis(c.bytes, c.from);
        ASSERT_TRUE(converted.problem.has_value());
        EXPECT_EQ(converted.problem->kind, c.kind);
        EXPECT_EQ(converted.problem->line, c.line);
        EXPECT_EQ(converted.problem->character, c.character);
    }
}

TEST(TextEncoding, MessagesNameTheLineTheCharacterAndTheEncoding)
{
    EXPECT_EQ(conversionProblemMessage({Kind::NoShiftJisCode, 3, 0xE9}, TextEncoding::Utf8),
              "3 行目の「é」(U+00E9) は Shift-JIS で表せない文字のため、読み込めません");
    EXPECT_EQ(
        conversionProblemMessage({Kind::NoShiftJisCode, 12, 0x1F3B5}, TextEncoding::Utf16Le),
        "12 行目の「\xF0\x9F\x8E\xB5」(U+1F3B5) は Shift-JIS で表せない文字のため、読み込めません");
    EXPECT_EQ(conversionProblemMessage({Kind::Malformed, 2, 0}, TextEncoding::Utf16Be),
              "2 行目に UTF-16 BE として読めないバイトがあるため、読み込めません");
    EXPECT_EQ(conversionProblemMessage({Kind::Malformed, 1, 0}, TextEncoding::Utf8Bom),
              "1 行目に UTF-8 (BOM 付き) として読めないバイトがあるため、読み込めません");
}

} // namespace
} // namespace velkan
