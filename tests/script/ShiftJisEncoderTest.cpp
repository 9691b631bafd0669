#include "script/ShiftJisEncoder.h"
#include "script/ShiftJisTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace velkan {
namespace {

std::string hex(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

TEST(ShiftJisEncoder, CodesOfCharacters)
{
    struct Case {
        const char *what;
        char32_t character;
        std::optional<std::uint16_t> code;
    };
    const Case cases[] = {
        {"ASCII", U'A', 0x41},
        {"NUL", 0x0000, 0x00},
        {"backslash stays a backslash", U'\\', 0x5C},
        {"half-width katakana", U'ｱ', 0xB1},
        {"last half-width katakana", U'ﾟ', 0xDF},
        {"hiragana", U'あ', 0x82A0},
        {"kanji", U'歌', 0x89CC},
        {"ideographic space", 0x3000, 0x8140},
        {"fullwidth tilde", 0xFF5E, 0x8160},
        {"horizontal bar", 0x2015, 0x815C},
        // The eight characters Linux input gives for the code page's own.
        {"wave dash", 0x301C, 0x8160},
        {"double vertical line", 0x2016, 0x8161},
        {"minus sign", 0x2212, 0x817C},
        {"cent sign", 0x00A2, 0x8191},
        {"pound sign", 0x00A3, 0x8192},
        {"not sign", 0x00AC, 0x81CA},
        {"em dash", 0x2014, 0x815C},
        {"broken bar", 0x00A6, 0xFA55},
        // Characters with several codes take the one Windows writes.
        {"approximately equal: JIS row, not NEC row 13", 0x2252, 0x81E0},
        {"Roman numeral one: NEC row 13, not IBM", 0x2160, 0x8754},
        {"small Roman numeral one: IBM, not NEC-selected", 0x2170, 0xFA40},
        {"fullwidth broken bar: IBM, not NEC-selected", 0xFFE4, 0xFA55},
        {"fullwidth quotation mark: IBM", 0xFF02, 0xFA57},
        {"kanji of both IBM rows", 0x7E8A, 0xFA5C},
        {"fullwidth not sign: JIS row", 0xFFE2, 0x81CA},
        {"circled one", 0x2460, 0x8740},
        {"first user-defined character", 0xE000, 0xF040},
        {"last user-defined character", 0xE757, 0xF9FC},
        // The three control codes ICU lays out as IBM does.
        {"Ctrl-Z", 0x001A, 0x7F},
        {"file separator", 0x001C, 0x1A},
        {"delete", 0x007F, 0x1C},
        // No code.
        {"e acute", 0x00E9, std::nullopt},
        {"yen sign", 0x00A5, std::nullopt},
        {"overline", 0x203E, std::nullopt},
        {"byte-order mark", 0xFEFF, std::nullopt},
        {"C1 control", 0x0080, std::nullopt},
        {"private use after the user-defined area", 0xE758, std::nullopt},
        {"private use the codec keeps for raw bytes", 0xF7A0, std::nullopt},
        {"private use another codec gives to byte A0", 0xF8F0, std::nullopt},
        {"lone surrogate", 0xD800, std::nullopt},
        {"emoji beyond the BMP", 0x1F3B5, std::nullopt},
        {"past Unicode", 0x110000, std::nullopt},
        {"past 16 bits, same low bits as a kana", 0x13042, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(shiftJisCode(c.character), c.code) << hex(c.character);
    }
}

TEST(ShiftJisEncoder, AppendsOneOrTwoBytesOrNothing)
{
    struct Case {
        char32_t character;
        bool ok;
        std::string bytes;
    };
    const Case cases[] = {
        {U'A', true, "xA"},         {0x0000, true, std::string("x\0", 2)}, {U'ｱ', true, "x\xB1"},
        {U'あ', true, "x\x82\xA0"}, {0x301C, true, "x\x81\x60"},           {0x00E9, false, "x"},
    };
    for (const Case &c : cases) {
        std::string out = "x";
        EXPECT_EQ(appendShiftJis(c.character, out), c.ok) << hex(c.character);
        EXPECT_EQ(out, c.bytes) << hex(c.character);
    }
}

TEST(ShiftJisEncoder, TableIsInOrderAndEveryCodeIsWellFormed)
{
    // The lookup searches by halves, which needs strictly rising characters.
    const auto table = shiftJisTable();
    ASSERT_GT(table.size(), 9000u);
    for (std::size_t i = 1; i < table.size(); ++i)
        ASSERT_LT(table[i - 1].character, table[i].character) << i;
    for (const ShiftJisTableEntry &e : table) {
        SCOPED_TRACE(hex(e.character));
        if (e.code < 0x100) {
            // Single bytes: ASCII and half-width katakana only.
            EXPECT_TRUE(e.code < 0x80 || (e.code >= 0xA1 && e.code <= 0xDF));
            continue;
        }
        const unsigned lead = e.code >> 8, trail = e.code & 0xFF;
        EXPECT_TRUE((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC));
        EXPECT_TRUE(trail >= 0x40 && trail <= 0xFC && trail != 0x7F);
        EXPECT_EQ(shiftJisCode(e.character), e.code);
    }
}

} // namespace
} // namespace velkan
