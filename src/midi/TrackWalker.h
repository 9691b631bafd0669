#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkan {

// Walks the events of one track chunk front to back the way our reader counts
// them: delta-times as variable-length quantities, running status by the kind
// of the last channel or system event, meta and system-exclusive events
// stepped past by their stated length. Only meta events are handed out; the
// rest is stepped over in place, without copying.
//
// Every length is checked against the end of the bytes given before it is
// used: a length that claims more than is left ends the walk. Delta-times are
// clipped to 32 bits and the tick sum to kTickCap, so a hostile file can make
// the ticks meaningless but never overflow.
class TrackWalker {
public:
    static constexpr std::int64_t kTickCap = std::int64_t{1} << 48;

    struct MetaEvent {
        std::uint8_t type = 0;
        std::string_view data; // wholly inside the walked bytes
    };

    // events: the chunk's event bytes, already clipped to the file image.
    explicit TrackWalker(std::string_view events) : m_bytes(events) {}

    // Walks on to the next meta event. False once the end of the bytes is
    // reached (then tick() is the sum of every delta-time read).
    bool nextMeta(MetaEvent &meta);

    // Absolute tick of the meta event last returned.
    std::int64_t tick() const { return m_tick; }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
    std::int64_t m_tick = 0;
    std::uint8_t m_runningKind = 0; // 0: none
};

} // namespace velkan
