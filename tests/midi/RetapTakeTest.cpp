#include "midi/RetapTake.h"

#include <gtest/gtest.h>

namespace velkan {
namespace {

// Taps stamping "@WAIT(9,1);", "@WAIT(9,2);", ... until the take gives nothing,
// each edit made as the editor makes it; the edits written "R2" (line 2
// replaced), "I0" (inserted before line 0).
TEST(RetapTake, EachTapTimesTheNextLyricOfTheRange)
{
    struct Case {
        const char *name;
        std::vector<std::string> lines;
        std::size_t first, last;
        std::string edits;
        std::vector<std::string> after;
        std::size_t lastAfter;
    };
    const std::vector<Case> cases = {
        {"every @WAIT replaced, lines outside kept byte for byte",
         {"@WAIT(1,0);\r", "\x82\xa0", "@WAIT(2,0);", "A", "@WAIT(3,0);", "B", "@WAIT(4,0);", "C "},
         2,
         5,
         "R2 R4",
         {"@WAIT(1,0);\r", "\x82\xa0", "@WAIT(9,1);", "A", "@WAIT(9,2);", "B", "@WAIT(4,0);", "C "},
         5},
        {"lyrics without a timing line get one",
         {"A", "B", "@WAIT(5,0);", "C", "D"},
         0,
         3,
         "I0 I2 R4",
         {"@WAIT(9,1);", "A", "@WAIT(9,2);", "B", "@WAIT(9,3);", "C", "D"},
         5},
        {"lyric lines between @WAITs",
         {"@WAIT(1,0);", "L1", "L2", "@WAIT(2,0);", "L3"},
         0,
         4,
         "R0 I2 R4",
         {"@WAIT(9,1);", "L1", "@WAIT(9,2);", "L2", "@WAIT(9,3);", "L3"},
         5},
        {"other commands passed over, what follows a @WAIT kept",
         {"@COLOR(3);", "@WAIT(1,0);@COLOR(32);", "@LOCATE(1,1);", "L1", "@wait(2,0);",
          "@WAIT(3,0) x"},
         0,
         5,
         "R1 R5",
         {"@COLOR(3);", "@WAIT(9,1);@COLOR(32);", "@LOCATE(1,1);", "L1", "@wait(2,0);",
          "@WAIT(9,2); x"},
         5},
        {"a pause: two @WAITs before a lyric",
         {"@WAIT(1,0);", "@WAIT(1,96);", "L"},
         0,
         2,
         "R0 R1",
         {"@WAIT(9,1);", "@WAIT(9,2);", "L"},
         2},
        {"an empty range", {"A", "B"}, 1, 0, "", {"A", "B"}, 0},
        {"a range past the script's end",
         {"@WAIT(1,0);", "A"},
         1,
         9,
         "I1",
         {"@WAIT(1,0);", "@WAIT(9,1);", "A"},
         10},
    };
    for (const Case &c : cases) {
        for (const bool views : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (views ? " (views)" : ""));
            std::vector<std::string> lines = c.lines;
            RetapTake take(c.first, c.last);
            std::string edits;
            for (int n = 1; n <= 10; ++n) {
                const std::string stamp = "@WAIT(9," + std::to_string(n) + ");";
                const std::vector<std::string_view> lineViews(lines.begin(), lines.end());
                const std::optional<RetapEdit> edit =
                    views ? take.tap(lineViews, stamp) : take.tap(lines, stamp);
                if (!edit)
                    break;
                edits += edits.empty() ? "" : " ";
                edits += edit->kind == RetapEdit::Kind::Replace ? "R" : "I";
                edits += std::to_string(edit->index);
                applyRetapEdit(lines, *edit);
            }
            EXPECT_EQ(edits, c.edits);
            EXPECT_EQ(lines, c.after);
            EXPECT_EQ(take.last(), c.lastAfter);
        }
    }
}

} // namespace
} // namespace velkan
