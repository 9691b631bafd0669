#pragma once

#include <cstdint>
#include <string>

namespace velkan {

// A place in the song as a timing line writes it: bar counted from 1, step in
// 1/48 of a quarter note from the start of the bar.
struct MusicalPosition {
    std::int32_t bar = 0;
    std::int32_t step = 0;
    friend bool operator==(const MusicalPosition &, const MusicalPosition &) = default;
};

// "@WAIT(bar,step);"
inline std::string formatWait(const MusicalPosition &p)
{
    return "@WAIT(" + std::to_string(p.bar) + "," + std::to_string(p.step) + ");";
}

} // namespace velkan
