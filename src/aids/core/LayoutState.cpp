#include "aids/core/LayoutState.h"

#include "midi/WaitLine.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace velkan {

namespace {

int saturatedSum(int a, int b)
{
    const std::int64_t sum = std::int64_t{a} + b;
    return static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

int LayoutState::verticalControlValue() const
{
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{kRows + 1} - row, 1, kRows));
}

int LayoutState::horizontalControlValue() const
{
    return std::clamp(column, 1, kColumns);
}

int LayoutState::chooseLyric()
{
    row = saturatedSum(row, lineSpacing);
    return redrawInPlace();
}

int LayoutState::redrawInPlace()
{
    drawnRow = row;
    drawnColumn = column;
    return verticalControlValue();
}

ArrowMove LayoutState::moveVertical(VerticalArrow action)
{
    int v = verticalControlValue();
    if (action == VerticalArrow::Up)
        ++v;
    else if (action == VerticalArrow::Down)
        --v;
    v = std::clamp(v, 1, kRows);
    const ArrowMove move{v, drawnRow, drawnColumn};
    row = kRows + 1 - v;
    drawnRow = row;
    return move;
}

ArrowMove LayoutState::moveHorizontal(HorizontalArrow action)
{
    int v = horizontalControlValue();
    if (action == HorizontalArrow::Left)
        --v;
    else if (action == HorizontalArrow::Right)
        ++v;
    v = std::clamp(v, 1, kColumns);
    const ArrowMove move{v, drawnRow, drawnColumn};
    column = v;
    drawnColumn = column;
    return move;
}

std::string LayoutState::locateLine() const
{
    return "@LOCATE(" + std::to_string(row) + ";" + std::to_string(column) + ");";
}

std::string LayoutState::positionLabel() const
{
    return "(行:" + std::to_string(row) + " 桁:" + std::to_string(column) + ")";
}

int readLineSpacing(std::string_view text)
{
    return leadingInteger(text);
}

int layoutInsertionIndex(int selectedIndex, int lineCount)
{
    return selectedIndex >= 0 && selectedIndex < lineCount ? selectedIndex : lineCount;
}

} // namespace velkan
