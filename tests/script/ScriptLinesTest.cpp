#include "script/ScriptLines.h"

#include <gtest/gtest.h>

using namespace velkan;

namespace {

std::vector<ScriptLine> vec(const ScriptLines &lines)
{
    return lines.toVector();
}

} // namespace

TEST(ScriptLines, LoadedLinesViewTheTextAndEditsOwnTheirBytes)
{
    ScriptLines lines = ScriptLines::fromText("@A\r\nlyric\n\r\n@B\x1Alost\r\n");
    ASSERT_EQ(vec(lines), (std::vector<ScriptLine>{"@A", "lyric", "", "@B"}));

    lines.insert(1, "@COLOR(32);");
    lines.replace(3, "new");
    lines.erase(0, 1);
    lines.push_back("@END();");
    EXPECT_EQ(vec(lines), (std::vector<ScriptLine>{"@COLOR(32);", "lyric", "new", "@B", "@END();"}));

    // Positions past the end are clipped, as the list asks.
    lines.insert(99, "tail");
    lines.erase(4, 99);
    EXPECT_EQ(vec(lines), (std::vector<ScriptLine>{"@COLOR(32);", "lyric", "new", "@B"}));
}

TEST(ScriptLines, ALineMayBeEditedFromItsOwnBytes)
{
    // The new bytes view the line they replace or a line of the same list:
    // they must be copied before the old line goes.
    ScriptLines lines = ScriptLines::fromText("@WAIT(1,0);\nlyric\n");
    lines.replace(1, "a line long enough to live outside any small buffer");
    lines.replace(1, lines[1].substr(2));
    lines.insert(0, lines[1]);
    lines.replace(2, lines[2]);
    EXPECT_EQ(vec(lines), (std::vector<ScriptLine>{"line long enough to live outside any small buffer",
                                                   "@WAIT(1,0);",
                                                   "line long enough to live outside any small buffer"}));
}

TEST(ScriptLines, CopiesAreIndependentAndOutliveTheOriginal)
{
    auto original = std::make_unique<ScriptLines>(ScriptLines::fromText("one\ntwo\nthree\n"));
    original->replace(1, "TWO, typed");
    ScriptLines copy = *original;
    original->replace(0, "changed");
    original->erase(2, 1);
    EXPECT_EQ(vec(copy), (std::vector<ScriptLine>{"one", "TWO, typed", "three"}));

    // The loaded bytes stay with the copy when the original is gone.
    original.reset();
    EXPECT_EQ(vec(copy), (std::vector<ScriptLine>{"one", "TWO, typed", "three"}));

    ScriptLines assigned;
    assigned = copy;
    copy.clear();
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(assigned, (std::vector<ScriptLine>{"one", "TWO, typed", "three"}));
    EXPECT_EQ(assigned, ScriptLines({"one", "TWO, typed", "three"}));
    EXPECT_NE(assigned, ScriptLines({"one", "TWO, typed"}));
}

TEST(ScriptLines, BytesAreKeptWhateverTheyAre)
{
    std::string text("@\0A\r\r\n\xFF\x81\n", 8);
    const ScriptLines lines = ScriptLines::fromText(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string_view("@\0A\r", 4));  // a lone CR stays
    EXPECT_EQ(lines[1], "\xFF\x81");
    EXPECT_TRUE(ScriptLines::fromText("").empty());
    EXPECT_TRUE(ScriptLines::fromText("\x1A@A\r\n").empty());
    EXPECT_EQ(vec(ScriptLines::fromText("\n\n")), (std::vector<ScriptLine>{"", ""}));
}
