#pragma once

#include "midi/WaitLine.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// One tap's change to the script: the line at `index` replaced by `line`, or
// `line` inserted before the line at `index`.
struct RetapEdit {
    enum class Kind : std::uint8_t { Replace, Insert };
    Kind kind = Kind::Replace;
    std::size_t index = 0;
    std::string line;
    friend bool operator==(const RetapEdit &, const RetapEdit &) = default;
};

// A take of taps over the script lines first .. last: each tap times the next
// lyric line of the range, as a Space press does while the song plays.
//
// From where the take stands, the first @WAIT line or lyric line decides: a
// @WAIT line is replaced by the stamp (whatever followed its first ')' stays,
// less one ';' directly after it), and the lyric line it times, the first one
// after it unless another @WAIT comes first, is taken as timed; a lyric line
// with no @WAIT of its own before it gets the stamp inserted just before it.
// Other command lines are passed over as they are. So "@WAIT A, L1, L2" takes
// two taps: A replaced for L1, then one inserted before L2. Once the range
// has no such line left, a tap changes nothing.
//
// The take never changes a line itself: each tap says what to change, and the
// caller makes that change (the edit applied to the lines the tap was given)
// before the next tap. Lines outside the range are never touched; the range
// grows by one line with each insert.
class RetapTake {
public:
    // Lines first .. last, both included; last < first is an empty range.
    RetapTake(std::size_t first, std::size_t last);

    // The change a tap stamping `stamp` ("@WAIT(bar,step);") makes to `lines`,
    // taken as made; nothing once the range is used up.
    std::optional<RetapEdit> tap(const std::vector<std::string> &lines, std::string_view stamp);
    std::optional<RetapEdit> tap(const std::vector<std::string_view> &lines,
                                 std::string_view stamp);

    std::size_t first() const { return m_first; }
    // The range's last line, inserts counted.
    std::size_t last() const { return m_last; }
    bool isEmpty() const { return m_last < m_first; }
    // The line the next tap looks from (past the range once it is used up).
    std::size_t nextLine() const { return m_next; }

private:
    template <typename Line>
    std::optional<RetapEdit> tapLines(const std::vector<Line> &lines, std::string_view stamp);

    std::size_t m_first;
    std::size_t m_last;
    std::size_t m_next;
};

// Makes the edit on `lines`.
void applyRetapEdit(std::vector<std::string> &lines, const RetapEdit &edit);

} // namespace velkan
