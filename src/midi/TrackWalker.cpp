#include "midi/TrackWalker.h"

#include <algorithm>
#include <array>

namespace velkan {

namespace {

constexpr std::uint64_t kVlqCap = 0xFFFFFFFFu;

struct EventTables {
    // Bytes a status byte takes, itself included (F4, F5, F9, FD take none).
    std::array<std::uint8_t, 256> statusLength{};
    // The running-status kind a status byte leaves behind (0: none).
    std::array<std::uint8_t, 256> kindAfter{};
    // Data bytes a byte below 80 takes under each running-status kind; a
    // kind that takes none is dropped.
    std::array<std::uint8_t, 256> dataLength{};
};

constexpr EventTables makeTables()
{
    EventTables t{};
    for (int s = 0x80; s <= 0xEF; ++s) {
        const int high = s >> 4;
        const bool oneData = high == 0xC || high == 0xD;
        t.statusLength[s] = oneData ? 2 : 3;
        t.kindAfter[s] = static_cast<std::uint8_t>(s);
        t.dataLength[s] = oneData ? 1 : 2;
    }
    const auto system = [&t](int s, int length, int data) {
        t.statusLength[s] = static_cast<std::uint8_t>(length);
        t.kindAfter[s] = length == 0 ? 0 : static_cast<std::uint8_t>(s);
        t.dataLength[s] = static_cast<std::uint8_t>(data);
    };
    system(0xF1, 2, 1);
    system(0xF2, 3, 0);
    system(0xF3, 2, 1);
    for (int s : {0xF6, 0xF8, 0xFA, 0xFB, 0xFC, 0xFE})
        system(s, 1, 0);
    for (int s : {0xF4, 0xF5, 0xF9, 0xFD})
        system(s, 0, 0);
    return t;
}

constexpr EventTables kTables = makeTables();

} // namespace

bool TrackWalker::nextMeta(MetaEvent &meta)
{
    Event event;
    if (!advance<false>(event))
        return false;
    meta.type = event.metaType;
    meta.data = event.data;
    return true;
}

bool TrackWalker::next(Event &event)
{
    return advance<true>(event);
}

// One walk for both: meta events only (the reader's hot loop steps over the
// rest in place), or every event.
template <bool AllEvents> bool TrackWalker::advance(Event &event)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(m_bytes.data());
    const std::size_t end = m_bytes.size();
    std::size_t pos = m_pos;
    std::int64_t tick = m_tick;
    std::uint8_t kind = m_runningKind;

    // Reads a variable-length quantity; false when it runs off the end.
    const auto readVlq = [&](std::uint64_t &value) {
        value = 0;
        while (pos < end) {
            const unsigned char b = bytes[pos++];
            value = std::min((value << 7) | (b & 0x7Fu), kVlqCap);
            if (!(b & 0x80u))
                return true;
        }
        return false;
    };

    bool found = false;
    while (pos < end) {
        std::uint64_t delta = 0;
        // A delta cut short by the end still counts: the walk stops below.
        readVlq(delta);
        tick = std::min(tick + static_cast<std::int64_t>(delta), kTickCap);
        if (pos >= end)
            break;

        const unsigned char status = bytes[pos];
        if (status == 0xFF) {
            ++pos;
            if (pos >= end)
                break;
            const std::uint8_t type = bytes[pos++];
            std::uint64_t length = 0;
            if (!readVlq(length) || length > end - pos) {
                pos = end;
                break;
            }
            event.kind = Event::Kind::Meta;
            event.status = status;
            event.metaType = type;
            event.data = m_bytes.substr(pos, static_cast<std::size_t>(length));
            pos += static_cast<std::size_t>(length);
            found = true;
            break;
        }
        if (status == 0xF0 || status == 0xF7) {
            ++pos;
            kind = 0;
            std::uint64_t length = 0;
            if (!readVlq(length) || length > end - pos) {
                pos = end;
                break;
            }
            if constexpr (AllEvents) {
                event.kind = Event::Kind::SysEx;
                event.status = status;
                event.data = m_bytes.substr(pos, static_cast<std::size_t>(length));
            }
            pos += static_cast<std::size_t>(length);
            if constexpr (AllEvents) {
                found = true;
                break;
            }
            continue;
        }
        std::size_t taken;
        std::uint8_t resolved;
        std::size_t dataStart;
        if (status & 0x80u) {
            taken = kTables.statusLength[status];
            kind = kTables.kindAfter[status];
            resolved = status;
            dataStart = pos + 1;
        } else {
            taken = kTables.dataLength[kind];
            resolved = kind;
            dataStart = pos;
            if (taken == 0)
                kind = 0;
        }
        // A byte that takes nothing stays put and is read again as a delta-time.
        if (taken == 0) {
            ++m_strayBytes;
            continue;
        }
        // An event cut short by the end of the track is damage too.
        if (taken > end - pos)
            ++m_strayBytes;
        const std::size_t next = pos + std::min(taken, end - pos);
        if constexpr (AllEvents) {
            event.kind = Event::Kind::Channel;
            event.status = resolved;
            event.data = m_bytes.substr(dataStart, next - dataStart);
            pos = next;
            found = true;
            break;
        }
        pos = next;
    }

    m_pos = pos;
    m_tick = tick;
    m_runningKind = kind;
    return found;
}

} // namespace velkan
