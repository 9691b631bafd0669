#include "aids/core/LayoutGeometry.h"
#include "aids/core/LayoutState.h"
#include "aids/core/TextColour.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkan {
namespace {

TEST(TextColour, EightEntriesInListOrder)
{
    struct Expected {
        const char *name;
        const char *line;
        Rgb8 preview;
    };
    const Expected expected[] = {
        {"白", "@COLOR(37);", {240, 240, 240}}, {"赤", "@COLOR(31);", {240, 0, 0}},
        {"緑", "@COLOR(32);", {0, 240, 0}},     {"黄", "@COLOR(33);", {240, 240, 0}},
        {"青", "@COLOR(34);", {0, 0, 240}},     {"紫", "@COLOR(35);", {240, 0, 240}},
        {"水", "@COLOR(36);", {0, 240, 240}},   {"黒", "@COLOR(30);", {0, 0, 0}},
    };
    for (int i = 0; i < kTextColourCount; ++i) {
        SCOPED_TRACE(i);
        const TextColour &c = textColourAt(i);
        EXPECT_EQ(c.name, expected[i].name);
        EXPECT_EQ(c.wrdLine, expected[i].line);
        EXPECT_EQ(c.preview, expected[i].preview);
    }
    // An unselected list counts as white.
    EXPECT_EQ(textColourAt(-1).wrdLine, "@COLOR(37);");
    EXPECT_EQ(textColourAt(8).wrdLine, "@COLOR(37);");
}

TEST(LayoutState, StartsAtRowOneColumnTen)
{
    const LayoutState s;
    EXPECT_EQ(s.verticalControlValue(), 25);
    EXPECT_EQ(s.horizontalControlValue(), 10);
    EXPECT_EQ(s.locateLine(), "@LOCATE(1;10);");
    EXPECT_EQ(s.positionLabel(), "(行:1 桁:10)");
}

TEST(LayoutState, ChoosingALyricAtRow24GoesPastTheScreen)
{
    LayoutState s;
    s.row = 24;
    EXPECT_EQ(s.chooseLyric(), 1); // the control stays at its limit
    EXPECT_EQ(s.row, 26);
    EXPECT_EQ(s.drawnRow, 26);
    EXPECT_EQ(s.positionLabel(), "(行:26 桁:10)");
    EXPECT_EQ(s.locateLine(), "@LOCATE(26;10);");

    LayoutState down = s;
    EXPECT_EQ(down.moveVertical(VerticalArrow::Down), (ArrowMove{1, 26, 10}));
    EXPECT_EQ(down.row, 25);
    EXPECT_EQ(down.drawnRow, 25);

    LayoutState up = s;
    EXPECT_EQ(up.moveVertical(VerticalArrow::Up), (ArrowMove{2, 26, 10}));
    EXPECT_EQ(up.row, 24);
}

TEST(LayoutState, LineSpacingIsUsedAsTyped)
{
    struct Case {
        const char *typed;
        int spacing;
        int rowAfter; // from row 5
        int control;
        int rowAfterUp;
        int rowAfterDown;
    };
    const Case cases[] = {
        {"2", 2, 7, 19, 6, 8},     {"3abc", 3, 8, 18, 7, 9}, {"", 0, 5, 21, 4, 6},
        {"0", 0, 5, 21, 4, 6},     {"-2", -2, 3, 23, 2, 4},  {"-7", -7, -2, 25, 1, 2},
        {"40", 40, 45, 1, 24, 25}, {" 4", 4, 9, 17, 8, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        LayoutState s;
        s.row = 5;
        s.lineSpacing = readLineSpacing(c.typed);
        EXPECT_EQ(s.lineSpacing, c.spacing);
        EXPECT_EQ(s.chooseLyric(), c.control);
        EXPECT_EQ(s.row, c.rowAfter);
        LayoutState up = s;
        up.moveVertical(VerticalArrow::Up);
        EXPECT_EQ(up.row, c.rowAfterUp);
        LayoutState down = s;
        down.moveVertical(VerticalArrow::Down);
        EXPECT_EQ(down.row, c.rowAfterDown);
    }
}

TEST(LayoutState, ArrowsHoldRowAndColumnToTheScreen)
{
    struct Case {
        const char *name;
        int row;
        int column;
        VerticalArrow v;
        HorizontalArrow h;
        int rowAfter;
        int columnAfter;
    };
    const Case cases[] = {
        {"top row up", 1, 10, VerticalArrow::Up, HorizontalArrow::Other, 1, 10},
        {"bottom row down", 25, 10, VerticalArrow::Down, HorizontalArrow::Other, 25, 10},
        {"down", 3, 10, VerticalArrow::Down, HorizontalArrow::Other, 4, 10},
        {"first column left", 3, 1, VerticalArrow::Other, HorizontalArrow::Left, 3, 1},
        {"last column right", 3, 80, VerticalArrow::Other, HorizontalArrow::Right, 3, 80},
        {"right", 3, 20, VerticalArrow::Other, HorizontalArrow::Right, 3, 21},
        {"left", 3, 20, VerticalArrow::Other, HorizontalArrow::Left, 3, 19},
        {"below the screen, other", 30, 20, VerticalArrow::Other, HorizontalArrow::Other, 25, 20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LayoutState s;
        s.row = s.drawnRow = c.row;
        s.column = s.drawnColumn = c.column;
        const ArrowMove vm = s.moveVertical(c.v);
        EXPECT_EQ(vm.erasedRow, c.row);
        EXPECT_EQ(vm.controlValue, 26 - c.rowAfter);
        const ArrowMove hm = s.moveHorizontal(c.h);
        EXPECT_EQ(hm, (ArrowMove{c.columnAfter, c.rowAfter, c.column}));
        EXPECT_EQ(s.row, c.rowAfter);
        EXPECT_EQ(s.column, c.columnAfter);
        EXPECT_EQ(s.drawnRow, c.rowAfter);
        EXPECT_EQ(s.drawnColumn, c.columnAfter);
    }
}

TEST(LayoutState, ColourChoiceRedrawsWhereTheCursorStands)
{
    LayoutState s;
    s.row = 7;
    s.drawnRow = 3;
    EXPECT_EQ(s.redrawInPlace(), 19);
    EXPECT_EQ(s.row, 7);
    EXPECT_EQ(s.drawnRow, 7);
}

TEST(LayoutState, ExampleBackgroundPositionColourAboveTheFirstLyric)
{
    // A script made from a lyrics text: four header lines, then the lyrics.
    std::vector<std::string> script = {"h1", "h2", "h3", "h4", "lyric 1", "lyric 2"};
    int selected = 4;
    auto insert = [&](const std::string &line) {
        const int at = layoutInsertionIndex(selected, static_cast<int>(script.size()));
        script.insert(script.begin() + at, line);
        if (selected >= at)
            ++selected;
    };

    LayoutState s;
    insert(backgroundPaletteLine(PaletteColour{0, 0, 8}));
    s.chooseLyric();
    for (int i = 0; i < 10; ++i)
        s.moveHorizontal(HorizontalArrow::Right);
    EXPECT_EQ(s.row, 3);
    insert(s.locateLine());
    insert(std::string(textColourAt(3).wrdLine));

    const std::vector<std::string> expected = {
        "h1",
        "h2",
        "h3",
        "h4",
        "@PAL(008,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);",
        "@LOCATE(3;20);",
        "@COLOR(33);",
        "lyric 1",
        "lyric 2"};
    EXPECT_EQ(script, expected);
    EXPECT_EQ(selected, 7);
}

TEST(LayoutState, InsertionWithoutSelectionAppends)
{
    EXPECT_EQ(layoutInsertionIndex(-1, 3), 3);
    EXPECT_EQ(layoutInsertionIndex(-1, 0), 0);
    EXPECT_EQ(layoutInsertionIndex(2, 3), 2);
    EXPECT_EQ(layoutInsertionIndex(0, 3), 0);
}

TEST(LayoutGeometry, PreviewFromTheClientHeight)
{
    struct Case {
        int clientHeight;
        int listWidth;
        PreviewGeometry geometry;
    };
    const Case cases[] = {
        {250, 200, {10, {250, 5, 400, 251}}},
        {251, 200, {10, {250, 5, 400, 251}}}, // the next repaint keeps the cell height
        {274, 180, {10, {230, 5, 400, 251}}},
        {24, 100, {0, {150, 5, 0, 1}}},
        {400, 0, {16, {50, 5, 640, 401}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(previewGeometry(c.clientHeight, c.listWidth), c.geometry) << c.clientHeight;
}

TEST(LayoutGeometry, CellsAndEraseRectangles)
{
    EXPECT_EQ(cellOrigin(1, 1, 10), (PixelPoint{1, 2}));
    EXPECT_EQ(cellOrigin(3, 20, 10), (PixelPoint{96, 22}));
    EXPECT_EQ(cellOrigin(25, 80, 9), (PixelPoint{356, 218})); // 79 x 9 / 2 truncated
    EXPECT_EQ(cellOrigin(26, 10, 10), (PixelPoint{46, 252}));

    // Erase: one pixel above the text, cellHeight high, cut at the right edge.
    EXPECT_EQ(eraseRect(3, 20, 10, 60, 400), (PixelRect{96, 21, 60, 10}));
    EXPECT_EQ(eraseRect(3, 80, 9, 50, 360), (PixelRect{356, 19, 4, 9}));
    EXPECT_EQ(eraseRect(1, 75, 10, 30, 400), (PixelRect{371, 1, 29, 10}));
    EXPECT_EQ(eraseRect(1, 75, 10, 29, 400), (PixelRect{371, 1, 29, 10}));
    EXPECT_EQ(eraseRect(1, 1, 10, 0, 400), (PixelRect{1, 1, 0, 10}));
}

} // namespace
} // namespace velkan
