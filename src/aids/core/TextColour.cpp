#include "aids/core/TextColour.h"

namespace velkan {

const std::array<TextColour, kTextColourCount> &textColours()
{
    static const std::array<TextColour, kTextColourCount> kColours{{
        {"白", "@COLOR(37);", {0xF0, 0xF0, 0xF0}},
        {"赤", "@COLOR(31);", {0xF0, 0x00, 0x00}},
        {"緑", "@COLOR(32);", {0x00, 0xF0, 0x00}},
        {"黄", "@COLOR(33);", {0xF0, 0xF0, 0x00}},
        {"青", "@COLOR(34);", {0x00, 0x00, 0xF0}},
        {"紫", "@COLOR(35);", {0xF0, 0x00, 0xF0}},
        {"水", "@COLOR(36);", {0x00, 0xF0, 0xF0}},
        {"黒", "@COLOR(30);", {0x00, 0x00, 0x00}},
    }};
    return kColours;
}

const TextColour &textColourAt(int position)
{
    if (position < 0 || position >= kTextColourCount)
        position = 0;
    return textColours()[static_cast<std::size_t>(position)];
}

} // namespace velkan
