#pragma once

#include <atomic>
#include <cstdint>

namespace velkan {

struct BarBeat {
    std::int32_t bar = 0;
    std::int32_t beat = 0;
    friend bool operator==(const BarBeat &, const BarBeat &) = default;
};

// The clock's bar and beat as the UI thread may read them while the beat
// timer thread runs: both in one atomic word, so a read never pairs the bar
// of one beat with the beat of another. Lock-free; neither side ever waits.
class SharedBeat {
public:
    void publish(BarBeat value) { m_packed.store(pack(value), std::memory_order_release); }
    BarBeat read() const { return unpack(m_packed.load(std::memory_order_acquire)); }

private:
    static std::uint64_t pack(BarBeat v)
    {
        return std::uint64_t{static_cast<std::uint32_t>(v.bar)} << 32 |
               static_cast<std::uint32_t>(v.beat);
    }
    static BarBeat unpack(std::uint64_t p)
    {
        return {static_cast<std::int32_t>(static_cast<std::uint32_t>(p >> 32)),
                static_cast<std::int32_t>(static_cast<std::uint32_t>(p))};
    }

    std::atomic<std::uint64_t> m_packed{0};
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

} // namespace velkan
