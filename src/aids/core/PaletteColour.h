#pragma once

#include <string>

namespace velkan {

// The one palette colour of a run: three 4-bit components. Outlives the
// palette dialog, which writes it; the layout dialog and the PAL template read it.
struct PaletteColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const PaletteColour &, const PaletteColour &) = default;
};

struct Rgb8 {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb8 &, const Rgb8 &) = default;
};

// 16 x v per component: full intensity is F0, not FF.
Rgb8 screenColour(const PaletteColour &colour);

// "@PAL(RGB,000,...,000);": the colour as entry 0 in upper-case hex, fifteen
// black entries after it.
std::string backgroundPaletteLine(const PaletteColour &colour);

// The palette line the PAL template falls back to when the dialog is cancelled.
inline constexpr const char *kDefaultPaletteLine =
    "@PAL(000,700,070,007,770,707,077,777,ccc,f00,0f0,00f,ff0,f0f,0ff,fff);";

} // namespace velkan
