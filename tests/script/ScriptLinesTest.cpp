#include "script/ScriptLines.h"

#include "script/LineEnds.h"

#include <random>

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
    EXPECT_EQ(vec(lines),
              (std::vector<ScriptLine>{"@COLOR(32);", "lyric", "new", "@B", "@END();"}));

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
    EXPECT_EQ(vec(lines), (std::vector<ScriptLine>{
                              "line long enough to live outside any small buffer", "@WAIT(1,0);",
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
    EXPECT_EQ(lines[0], std::string_view("@\0A\r", 4)); // a lone CR stays
    EXPECT_EQ(lines[1], "\xFF\x81");
    EXPECT_TRUE(ScriptLines::fromText("").empty());
    EXPECT_TRUE(ScriptLines::fromText("\x1A@A\r\n").empty());
    EXPECT_EQ(vec(ScriptLines::fromText("\n\n")), (std::vector<ScriptLine>{"", ""}));
}

TEST(ScriptLines, LineMarksAreFoundAtEveryPosition)
{
    // The scanner against a byte-by-byte search, over strings of every
    // length around its 16-byte steps and bytes that differ from LF and Ctrl-Z
    // in one bit (0x0B, 0x8A, 0x1B, 0x9A...).
    const std::string alphabet("\n\x1A\x0B\x8A\x1B\x9A\x0A\xFA\r@a\x00\x80\xFF", 14);
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text(static_cast<std::size_t>(round % 70), ' ');
        for (char &c : text)
            c = alphabet[random() % alphabet.size()];
        std::vector<std::size_t> expected, found;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' || text[i] == '\x1A')
                expected.push_back(i);
        }
        forEachLineMark(text, [&](std::size_t i) {
            found.push_back(i);
            return true;
        });
        ASSERT_EQ(found, expected) << round;

        // Stopping after the third mark.
        const std::size_t stopAfter = std::min<std::size_t>(3, expected.size());
        found.clear();
        forEachLineMark(text, [&](std::size_t i) {
            found.push_back(i);
            return found.size() < 3;
        });
        expected.resize(stopAfter);
        EXPECT_EQ(found, expected) << round;
    }
}

TEST(ScriptLines, LoadedRunsEndWhereTheTextNoLongerStandsAsSaved)
{
    ScriptLines lines = ScriptLines::fromText("@A\r\n@B\r\nlf\n@C\r\n\r\n@D\r\n@E");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines.loadedRun(0), 2u); // "lf" ends in a lone LF
    EXPECT_EQ(lines.loadedRun(1), 1u);
    EXPECT_EQ(lines.loadedRun(2), 0u);
    EXPECT_EQ(lines.loadedRun(3), 3u); // "@C", "", "@D"; "@E" has no line end
    EXPECT_EQ(lines.loadedRun(6), 0u);
    EXPECT_EQ(lines.loadedRun(7), 0u);

    lines.replace(4, "typed");
    EXPECT_EQ(lines.loadedRun(3), 1u);
    EXPECT_EQ(lines.loadedRun(4), 0u);
    lines.erase(1, 1); // "@A" and "lf" are neighbours now, not in the text
    EXPECT_EQ(lines.loadedRun(0), 1u);
    lines.insert(0, lines[0]);
    EXPECT_EQ(lines.loadedRun(0), 0u);
    EXPECT_EQ(lines.loadedRun(1), 1u);

    // A lone LF before an empty line is not a CR LF either.
    EXPECT_EQ(ScriptLines::fromText("lf\n\n@A\r\n").loadedRun(0), 0u);
}
