#pragma once

namespace velkan {

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint &, const PixelPoint &) = default;
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect &, const PixelRect &) = default;
};

// The layout dialog's drawing of the 80 x 25 text screen: rows cellHeight
// pixels high, columns half as wide, so 80 columns span 40 x cellHeight (the
// screen's 640 : 400).
struct PreviewGeometry {
    int cellHeight = 0;
    PixelRect frame; // in dialog client coordinates
    friend bool operator==(const PreviewGeometry &, const PreviewGeometry &) = default;
};

// cellHeight = clientHeight / 25; the preview stands 50 px right of the lyric
// list's client width and 5 px from the top, 40 x cellHeight wide and
// 25 x cellHeight + 1 high (so the next repaint finds the same cellHeight).
PreviewGeometry previewGeometry(int previewClientHeight, int listClientWidth);

// Where the text of (row, column) starts within the preview:
// x = (column - 1) x cellHeight / 2 + 1, y = (row - 1) x cellHeight + 2.
PixelPoint cellOrigin(int row, int column, int cellHeight);

// The rectangle that wipes a lyric drawn at (row, column): from one pixel
// above the text's top, cellHeight high, lyricWidth wide but cut at the
// preview's right edge.
PixelRect eraseRect(int row, int column, int cellHeight, int lyricWidth, int previewWidth);

} // namespace velkan
