#pragma once

#include <string>
#include <string_view>

namespace velkan {

enum class VerticalArrow { Up, Down, Other };
enum class HorizontalArrow { Left, Right, Other };

// What an arrow action did: the position for its control, and the cell where
// the lyric stood before (its erase rectangle comes from there).
struct ArrowMove {
    int controlValue;
    int erasedRow;
    int erasedColumn;
    friend bool operator==(const ArrowMove &, const ArrowMove &) = default;
};

// The placement cursor of the layout dialog on the 80 x 25 text screen and
// where the current lyric was last drawn. The vertical arrow control is
// inverted: its position is always 26 - row, held to 1 .. 25, so its upper
// arrow raises the lyric. The arrows hold row to 1 .. 25 and column to 1 .. 80;
// choosing a lyric adds the line spacing without any limit (row 26, or below 1
// with a negative spacing), and the next arrow brings it back.
struct LayoutState {
    static constexpr int kRows = 25;
    static constexpr int kColumns = 80;

    int row = 1;
    int column = 10;
    int drawnRow = 1;
    int drawnColumn = 10;
    int lineSpacing = 2;

    int verticalControlValue() const;   // 26 - row, held to 1 .. 25
    int horizontalControlValue() const; // column, held to 1 .. 80

    // A lyric was chosen: row moves on by the line spacing and the lyric is
    // drawn there. Returns the vertical control's new position.
    int chooseLyric();
    // The lyric is drawn again where the cursor stands (a text colour was
    // chosen): row stays. Returns the vertical control's new position.
    int redrawInPlace();

    // Up: control + 1 (row - 1); Down: control - 1 (row + 1); Other leaves
    // it. Every action redraws, so every action reports the old cell.
    ArrowMove moveVertical(VerticalArrow action);
    // Left: column - 1; Right: column + 1.
    ArrowMove moveHorizontal(HorizontalArrow action);

    // "@LOCATE(row;column);"
    std::string locateLine() const;
    // "(行:row 桁:column)", UTF-8.
    std::string positionLabel() const;

    friend bool operator==(const LayoutState &, const LayoutState &) = default;
};

// The line spacing as typed, read as atoi reads it: "3abc" gives 3, "" gives 0,
// "-2" gives -2. Typed values are used as they are, outside 1 .. 4 too.
int readLineSpacing(std::string_view text);

// Where the layout dialog inserts a line: above the selected line, or at the
// end (count) when no line is selected.
int layoutInsertionIndex(int selectedIndex, int lineCount);

} // namespace velkan
