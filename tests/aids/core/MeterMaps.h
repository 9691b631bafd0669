#pragma once

#include "midi/TimingMaps.h"

#include <initializer_list>

namespace velkan::test {

inline MeterMap meterMap(std::initializer_list<MeterChange> changes)
{
    MeterMap map;
    for (const MeterChange &c : changes)
        map.append(c);
    return map;
}

inline const MeterMap &threeFour()
{
    static const MeterMap map = meterMap({{0, 3}});
    return map;
}

inline const MeterMap &fourFour()
{
    static const MeterMap map = meterMap({{0, 4}});
    return map;
}

// 4/4 for eight bars, then 3/4 from quarter 32 (bar 9) on.
inline const MeterMap &fourThenThree()
{
    static const MeterMap map = meterMap({{0, 4}, {32, 3}});
    return map;
}

} // namespace velkan::test
