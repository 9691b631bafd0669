#include "script/ShiftJisEncoder.h"

#include "script/ShiftJisTable.h"

#include <algorithm>

namespace velkan {

std::optional<std::uint16_t> shiftJisCode(char32_t c)
{
    if (c > 0xFFFF)
        return std::nullopt;
    const auto table = shiftJisTable();
    const auto it = std::lower_bound(
        table.begin(), table.end(), c,
        [](const ShiftJisTableEntry &entry, char32_t key) { return entry.character < key; });
    if (it == table.end() || it->character != c)
        return std::nullopt;
    return it->code;
}

bool appendShiftJis(char32_t c, std::string &out)
{
    const std::optional<std::uint16_t> code = shiftJisCode(c);
    if (!code)
        return false;
    if (*code > 0xFF)
        out.push_back(static_cast<char>(*code >> 8));
    out.push_back(static_cast<char>(*code & 0xFF));
    return true;
}

} // namespace velkan
