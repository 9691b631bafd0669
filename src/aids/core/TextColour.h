#pragma once

#include "aids/core/PaletteColour.h"

#include <array>
#include <string_view>

namespace velkan {

// One entry of the layout dialog's text colour list.
struct TextColour {
    std::string_view name;    // UTF-8, as the list shows it
    std::string_view wrdLine; // the @COLOR line written for it
    Rgb8 preview;             // full intensity is F0, as on the palette's scale
};

inline constexpr int kTextColourCount = 8;

// In list order: 白 赤 緑 黄 青 紫 水 黒.
const std::array<TextColour, kTextColourCount> &textColours();

// The entry at a list position; an unselected list (-1) or any position
// outside the list counts as white, position 0.
const TextColour &textColourAt(int position);

} // namespace velkan
