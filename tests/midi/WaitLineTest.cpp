#include "midi/WaitLine.h"
#include "script/ShiftJisText.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace velkan {
namespace {

TEST(LeadingInteger, ReadsAsAtoiReads)
{
    struct Case {
        const char *text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"12", 12},
        {"  12", 12},
        {"\t-7", -7},
        {"+5", 5},
        {"3abc", 3},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"- 3", 0},
        {"12 34", 12},
        {"007", 7},
        {"-2", -2},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"99999999999", std::numeric_limits<std::int32_t>::max()},
        {"-99999999999", std::numeric_limits<std::int32_t>::min()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(leadingInteger(c.text), c.value);
    }
}

TEST(ReadWaitPosition, CommaAndParenthesisAreLookedForInTheFirstFifteenBytes)
{
    struct Case {
        const char *line;
        MusicalPosition position;
    };
    const Case cases[] = {
        {"@WAIT(12,96);", {12, 96}},
        {"@WAIT(12,144);", {12, 144}},
        {"@WAIT(12);", {12, 0}}, // no comma: the step span ends before it starts
        {"@WAIT(12,);", {12, 0}},
        {"@WAIT(,96);", {0, 96}},
        {"@WAIT( 12, -5);", {12, -5}}, // blanks and signs as atoi takes them
        {"@WAIT(1x2,9y6);", {1, 9}},
        {"@WAIT(", {0, 0}},                      // spans past the end read nothing
        {"@WAIT(12,96", {12, 96}},               // no ')': the step runs to byte 15
        {"@WAIT(1234567,89012);", {1234567, 8}}, // ')' beyond byte 15: step read up to it
        {"@WAIT(123456789,5);", {123456789, 0}}, // ',' beyond byte 14: bar to 15, step empty
        {"@WAIT(3,200);@COLOR(32);", {3, 200}},
        {"@WAIT(5)x,7);", {5, 0}}, // ')' before ',': inverted span reads 0
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(readWaitPosition(c.line), c.position);
    }
}

TEST(ShiftJisSearch, SecondBytesNeverStartAMatch)
{
    // "ア" is 83 41: its second byte is 'A'. "@" is 40; "ー" is 81 5B.
    const std::string katakanaA = "\x83"
                                  "A";
    const std::string line = "\x83"
                             "@WAIT(1,0);"; // 83 40 is one character
    EXPECT_EQ(findShiftJis(line, "@WAIT"), std::string::npos);
    EXPECT_EQ(findShiftJis(line, "WAIT"), 2u);
    EXPECT_EQ(findShiftJis(katakanaA + "AB", "AB"), 2u);
    EXPECT_EQ(findShiftJis(katakanaA + "B", "AB"), std::string::npos);
    // A lead byte from the upper range (E0-FC) takes its neighbour too.
    EXPECT_EQ(findShiftJis("\xE0@@WAIT", "@WAIT"), 2u);
    // Half-width katakana (A1-DF) are single bytes.
    EXPECT_EQ(findShiftJis("\xB1@WAIT", "@WAIT"), 1u);
    EXPECT_EQ(findShiftJis("xx@LOCATE(1;2)", "@LOCATE"), 2u);
    EXPECT_EQ(findShiftJis("@WA", "@WAIT"), std::string::npos);
    // A lead byte at the very end does not run past it.
    EXPECT_EQ(findShiftJis("ab\x83", "b\x83"), 1u);
}

} // namespace
} // namespace velkan
