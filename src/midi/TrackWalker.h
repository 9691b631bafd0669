#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkan {

// The meta event types the program reads.
struct MetaType {
    static constexpr std::uint8_t kText = 0x01;
    static constexpr std::uint8_t kLyric = 0x05;
    static constexpr std::uint8_t kEndOfTrack = 0x2F;
    static constexpr std::uint8_t kTempo = 0x51;
    static constexpr std::uint8_t kTimeSignature = 0x58;
};

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

    // Any event, as a sequencer would send it.
    struct Event {
        enum class Kind { Channel, SysEx, Meta };
        Kind kind = Kind::Channel;
        // Channel and system messages: the status in force (running status
        // resolved). F0 or F7 for system exclusive, FF for meta events.
        std::uint8_t status = 0;
        std::uint8_t metaType = 0;
        // The bytes after the status (after the length, for sysex and meta),
        // wholly inside the walked bytes.
        std::string_view data;
    };

    // events: the chunk's event bytes, already clipped to the file image.
    explicit TrackWalker(std::string_view events) : m_bytes(events) {}

    // Walks on to the next meta event. False once the end of the bytes is
    // reached (then tick() is the sum of every delta-time read).
    bool nextMeta(MetaEvent &meta);

    // Walks on to the next event of any kind.
    bool next(Event &event);

    // Absolute tick of the event last returned.
    std::int64_t tick() const { return m_tick; }
    // Bytes no event claimed (a data byte without running status, F4, F5,
    // F9, FD), each read again as a delta-time, and events cut short by the
    // track's end: signs of a damaged track.
    std::size_t strayBytes() const { return m_strayBytes; }

private:
    template <bool AllEvents> bool advance(Event &event);

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    std::int64_t m_tick = 0;
    std::uint8_t m_runningKind = 0; // 0: none
    std::size_t m_strayBytes = 0;
};

} // namespace velkan
