#pragma once

#include <array>
#include <cstdint>

namespace velkan {

// A tempo change on a whole quarter note from the song start.
struct TempoChange {
    std::int32_t quarter = 0;
    std::int32_t msPerQuarter = 0; // rounded to the nearest ms, halves up
    std::int32_t usPerQuarter = 0; // the exact tempo from the file
    friend bool operator==(const TempoChange &, const TempoChange &) = default;
};

// A time-signature change on a whole quarter note from the song start.
struct MeterChange {
    std::int32_t quarter = 0;
    std::int32_t quartersPerBar = 0;
    friend bool operator==(const MeterChange &, const MeterChange &) = default;
};

// A table of at most Capacity entries in file order. Appending to a full table
// is refused: nothing is written past its end.
template <typename T, int Capacity = 200> class BoundedTable {
public:
    static constexpr int capacity = Capacity;

    int count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    bool isFull() const { return m_count == Capacity; }
    const T &at(int i) const { return m_entries[static_cast<std::size_t>(i)]; }
    const T &operator[](int i) const { return at(i); }
    bool append(const T &entry)
    {
        if (isFull())
            return false;
        m_entries[static_cast<std::size_t>(m_count++)] = entry;
        return true;
    }
    void clear() { m_count = 0; }

    const T *begin() const { return m_entries.data(); }
    const T *end() const { return m_entries.data() + m_count; }

private:
    std::array<T, Capacity> m_entries{};
    int m_count = 0;
};

using TempoMap = BoundedTable<TempoChange>;
using MeterMap = BoundedTable<MeterChange>;

// The one meter every song has when its file names none: 4 quarters a bar.
inline constexpr MeterChange kDefaultMeter{0, 4};

// The timing of the loaded song, as the reader found it.
struct SongTiming {
    TempoMap tempo;
    MeterMap meter;
};

} // namespace velkan
