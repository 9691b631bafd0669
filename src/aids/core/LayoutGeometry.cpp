#include "aids/core/LayoutGeometry.h"

#include <algorithm>

namespace velkan {

namespace {
constexpr int kRows = 25;
constexpr int kPreviewLeftGap = 50;
constexpr int kPreviewTop = 5;
} // namespace

PreviewGeometry previewGeometry(int previewClientHeight, int listClientWidth)
{
    const int cell = std::max(previewClientHeight, 0) / kRows;
    return {cell, {listClientWidth + kPreviewLeftGap, kPreviewTop, 40 * cell, kRows * cell + 1}};
}

PixelPoint cellOrigin(int row, int column, int cellHeight)
{
    return {(column - 1) * cellHeight / 2 + 1, (row - 1) * cellHeight + 2};
}

PixelRect eraseRect(int row, int column, int cellHeight, int lyricWidth, int previewWidth)
{
    const int x0 = (column - 1) * cellHeight / 2 + 1;
    int width = lyricWidth;
    if (x0 + lyricWidth > previewWidth)
        width = std::max(previewWidth - x0, 0);
    return {x0, (row - 1) * cellHeight + 1, width, cellHeight};
}

} // namespace velkan
