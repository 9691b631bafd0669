#include "script/ShiftJisText.h"

namespace velkan {

std::size_t findShiftJis(std::string_view text, std::string_view needle)
{
    if (needle.size() > text.size())
        return std::string_view::npos;
    const std::size_t last = text.size() - needle.size();
    for (std::size_t i = 0; i <= last;) {
        if (text.compare(i, needle.size(), needle) == 0)
            return i;
        i += isShiftJisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    }
    return std::string_view::npos;
}

} // namespace velkan
