#include "platform/ShiftJisCodec.h"

#include <gtest/gtest.h>

#include <random>

using namespace velkan;

namespace {
std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}
} // namespace

TEST(ShiftJisCodec, DecodesOrdinaryText)
{
    EXPECT_EQ(ShiftJis::decode("@WAIT(1,0);"), QStringLiteral("@WAIT(1,0);"));
    EXPECT_EQ(ShiftJis::decode(bytes({0x82, 0xA0, 0x82, 0xA2})), QStringLiteral("あい"));
    EXPECT_EQ(ShiftJis::decode(bytes({0xB1})), QStringLiteral("ｱ"));
    EXPECT_EQ(ShiftJis::decode(bytes({0x81, 0x60})), QString(QChar(0xFF5E)));
    EXPECT_EQ(*ShiftJis::encode(QStringLiteral("歌詞追い")),
              bytes({0x89, 0xCC, 0x8E, 0x8C, 0x92, 0xC7, 0x82, 0xA2}));
}

TEST(ShiftJisCodec, EveryTwoByteCodeRoundTrips)
{
    int duplicates = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x00; trail <= 0xFF; ++trail) {
            const std::string b = bytes({lead, trail});
            const QString text = ShiftJis::decode(b);
            const auto back = ShiftJis::encode(text);
            ASSERT_TRUE(back.has_value()) << std::hex << lead << " " << trail;
            ASSERT_EQ(*back, b) << std::hex << lead << " " << trail;
            if (text.size() == 2 && text.at(1).unicode() >= 0xFE00 &&
                text.at(1).unicode() <= 0xFE0F)
                ++duplicates;
        }
    }
    // The NEC row 13 and NEC-selected IBM rows that share characters with other codes.
    EXPECT_GT(duplicates, 300);
}

TEST(ShiftJisCodec, DuplicateCodesShowTheSameCharacter)
{
    // 0x8790 (NEC row 13) and 0x81E0 are both the approximately-equal sign.
    const QString nec = ShiftJis::decode(bytes({0x87, 0x90}));
    const QString jis = ShiftJis::decode(bytes({0x81, 0xE0}));
    EXPECT_EQ(nec.at(0), jis.at(0));
    EXPECT_NE(nec, jis);
    // IBM extension 0xFA4A and NEC row 13 0x8754 are both Roman numeral one.
    EXPECT_EQ(ShiftJis::decode(bytes({0xFA, 0x4A})).at(0),
              ShiftJis::decode(bytes({0x87, 0x54})).at(0));
    EXPECT_EQ(*ShiftJis::encode(ShiftJis::decode(bytes({0xFA, 0x4A}))), bytes({0xFA, 0x4A}));
    EXPECT_EQ(*ShiftJis::encode(ShiftJis::decode(bytes({0x87, 0x54}))), bytes({0x87, 0x54}));
}

TEST(ShiftJisCodec, AnyByteStringRoundTrips)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255), len(0, 40);
    for (int i = 0; i < 20000; ++i) {
        std::string s(static_cast<std::size_t>(len(rng)), '\0');
        for (auto &c : s)
            c = static_cast<char>(byte(rng));
        const auto back = ShiftJis::encode(ShiftJis::decode(s));
        ASSERT_TRUE(back.has_value());
        ASSERT_EQ(*back, s);
    }
    // A lone lead byte at the end, and a lead byte before an invalid trail.
    for (const std::string &s :
         {bytes({0x41, 0x82}), bytes({0x82, 0x0A, 0x41}), bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF})})
        EXPECT_EQ(*ShiftJis::encode(ShiftJis::decode(s)), s);
}

TEST(ShiftJisCodec, PrefixNeverSplitsACharacter)
{
    const std::string s = bytes({0x41, 0x82, 0xA0, 0x82, 0xA2});
    EXPECT_EQ(ShiftJis::decodePrefix(s, 2), QStringLiteral("A"));
    EXPECT_EQ(ShiftJis::decodePrefix(s, 3), QStringLiteral("Aあ"));
    EXPECT_EQ(ShiftJis::decodePrefix(s, 100), QStringLiteral("Aあい"));
}

TEST(ShiftJisCodec, TextWithoutCodeIsRefused)
{
    EXPECT_FALSE(ShiftJis::encode(QStringLiteral("caf\u00e9")).has_value());
    EXPECT_EQ(ShiftJis::firstUnencodable(QStringLiteral("ab\u00e9c")), QStringLiteral("\u00e9"));
    EXPECT_FALSE(ShiftJis::encode(QString::fromUtf8("\xF0\x9F\x8E\xB5")).has_value()); // emoji
    EXPECT_TRUE(ShiftJis::firstUnencodable(QStringLiteral("あいう")).isEmpty());
    // A stray variation selector after a character with a single code.
    EXPECT_FALSE(ShiftJis::encode(QStringLiteral("A\uFE00")).has_value());
}
