// The program's one encoder against Qt's windows-31j (ICU), which the display
// codec decodes with: they must agree on every character but the eight that
// Linux input gives in place of the code page's own.
#include "platform/ShiftJisCodec.h"
#include "script/ShiftJisEncoder.h"

#include <gtest/gtest.h>

#include <QStringEncoder>
#include <map>

using namespace velkan;

namespace {

// The eight, and the code page character each stands for.
const std::map<char32_t, std::pair<std::uint16_t, char16_t>> kFolded = {
    {0x301C, {0x8160, 0xFF5E}}, {0x2016, {0x8161, 0x2225}}, {0x2212, {0x817C, 0xFF0D}},
    {0x00A2, {0x8191, 0xFFE0}}, {0x00A3, {0x8192, 0xFFE1}}, {0x00AC, {0x81CA, 0xFFE2}},
    {0x2014, {0x815C, 0x2015}}, {0x00A6, {0xFA55, 0xFFE4}},
};

std::string codeBytes(std::uint16_t code)
{
    if (code < 0x100)
        return std::string(1, static_cast<char>(code));
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

} // namespace

TEST(ShiftJisTable, AgreesWithQtOnEveryCharacterButTheEight)
{
    int agreed = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        QStringEncoder qt("windows-31j");
        const QByteArray bytes = qt.encode(QString::fromUcs4(&c, 1));
        // ICU drops a byte-order mark without a word: no code either way.
        const bool qtHasCode = !qt.hasError() && !bytes.isEmpty();
        const std::optional<std::uint16_t> ours = shiftJisCode(c);
        if (kFolded.count(c)) {
            EXPECT_FALSE(qtHasCode) << std::hex << unsigned(c);
            EXPECT_EQ(ours, kFolded.at(c).first) << std::hex << unsigned(c);
            continue;
        }
        ASSERT_EQ(ours.has_value(), qtHasCode) << std::hex << unsigned(c);
        if (ours) {
            ASSERT_EQ(codeBytes(*ours), bytes.toStdString()) << std::hex << unsigned(c);
            ++agreed;
        }
    }
    EXPECT_GT(agreed, 9000);
}

TEST(ShiftJisTable, TheLineEditBoxEncodesTheEightAndReadsTheirCodesAsBefore)
{
    for (const auto &[c, target] : kFolded) {
        const auto [code, pageCharacter] = target;
        const QString text = QString::fromUcs4(&c, 1);
        EXPECT_EQ(ShiftJis::encode(text), codeBytes(code)) << std::hex << unsigned(c);
        EXPECT_TRUE(ShiftJis::firstUnencodable(text).isEmpty());
        // The code shows as the code page's own character, which encodes
        // back to the same code.
        const QString shown = ShiftJis::decode(codeBytes(code));
        EXPECT_EQ(shown, QString(QChar(pageCharacter))) << std::hex << code;
        EXPECT_EQ(ShiftJis::encode(shown), codeBytes(code));
    }
}
