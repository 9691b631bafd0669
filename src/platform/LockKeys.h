#pragma once

#include <optional>

namespace velkan {

// State of the keyboard's lock lamps, where the system tells it (on Linux the
// LED class devices under /sys). Nothing when the state cannot be known.
struct LockState {
    std::optional<bool> kana, caps, num, scroll;
};

LockState readLockState();

} // namespace velkan
