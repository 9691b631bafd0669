#include "midi/RetapTake.h"

#include <algorithm>

namespace velkan {

namespace {

// The stamp in place of the @WAIT at the start of `line`, what followed it kept.
std::string replacedWait(std::string_view line, std::string_view stamp)
{
    std::string out(stamp);
    out += waitLineTail(line);
    return out;
}

} // namespace

RetapTake::RetapTake(std::size_t first, std::size_t last)
    : m_first(first), m_last(last), m_next(first)
{
}

std::optional<RetapEdit> RetapTake::tap(const std::vector<std::string> &lines,
                                        std::string_view stamp)
{
    return tapLines(lines, stamp);
}

std::optional<RetapEdit> RetapTake::tap(const std::vector<std::string_view> &lines,
                                        std::string_view stamp)
{
    return tapLines(lines, stamp);
}

template <typename Line>
std::optional<RetapEdit> RetapTake::tapLines(const std::vector<Line> &lines, std::string_view stamp)
{
    if (isEmpty())
        return std::nullopt;
    // A script shorter than the range ends it there.
    const std::size_t end = m_last < lines.size() ? m_last + 1 : lines.size();
    for (std::size_t i = m_next; i < end; ++i) {
        const std::string_view line = lines[i];
        if (isLyricLine(line)) {
            ++m_last;
            m_next = i + 2; // past the stamp and its lyric
            return RetapEdit{RetapEdit::Kind::Insert, i, std::string(stamp)};
        }
        if (!isWaitLine(line))
            continue;
        // The lyric line this @WAIT times is timed by the new stamp too.
        m_next = i + 1;
        while (m_next < end && !isLyricLine(lines[m_next]) && !isWaitLine(lines[m_next]))
            ++m_next;
        if (m_next < end && isLyricLine(lines[m_next]))
            ++m_next;
        return RetapEdit{RetapEdit::Kind::Replace, i, replacedWait(line, stamp)};
    }
    m_next = m_last + 1;
    return std::nullopt;
}

void applyRetapEdit(std::vector<std::string> &lines, const RetapEdit &edit)
{
    const std::size_t at = std::min(edit.index, lines.size());
    if (edit.kind == RetapEdit::Kind::Insert)
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), edit.line);
    else if (at < lines.size())
        lines[at] = edit.line;
}

} // namespace velkan
