#include "aids/core/PaletteColour.h"

namespace velkan {

Rgb8 screenColour(const PaletteColour &c)
{
    auto level = [](int v) { return (v & 0x0F) << 4; };
    return {level(c.red), level(c.green), level(c.blue)};
}

std::string backgroundPaletteLine(const PaletteColour &c)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = "@PAL(";
    line += kHex[c.red & 0x0F];
    line += kHex[c.green & 0x0F];
    line += kHex[c.blue & 0x0F];
    line += ",000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);";
    return line;
}

} // namespace velkan
