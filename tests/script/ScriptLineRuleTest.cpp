#include "script/ShiftJisText.h"

#include <gtest/gtest.h>

#include <string>

namespace velkan {
namespace {

TEST(ScriptLineRule, OnlyTextWithoutLineBreaksOrCtrlZIsOneLine)
{
    struct Case {
        std::string bytes;
        bool oneLine;
    };
    const Case cases[] = {
        {"", true},
        {"@WAIT(1,0);", true},
        {"\x82\xA0\x82\xA2", true},
        {std::string("A\0B", 3), true},
        {"\t\x1B\x1C\x7F", true},
        {"A\r\nB", false},
        {"A\nB", false},
        {"A\rB", false},
        {"A\r", false},
        {"\n", false},
        {"A\x1A", false},
        {"\x1A"
         "B",
         false},
        // A lead byte never takes a control code as its trail.
        {"\x82\x0A", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(isOneScriptLine(c.bytes), c.oneLine) << testing::PrintToString(c.bytes);
}

} // namespace
} // namespace velkan
