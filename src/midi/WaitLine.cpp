#include "midi/WaitLine.h"

#include <algorithm>
#include <limits>

namespace velkan {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Index of the first `c` among the first 15 bytes, or 15.
std::size_t findWithin15(std::string_view text, char c)
{
    constexpr std::size_t kWindow = 15;
    const std::size_t at = text.substr(0, kWindow).find(c);
    return at == std::string_view::npos ? kWindow : at;
}

std::string_view span(std::string_view text, std::size_t first, std::size_t end)
{
    end = std::min(end, text.size());
    if (first >= end)
        return {};
    return text.substr(first, end - first);
}

} // namespace

bool isWaitLine(std::string_view line)
{
    return line.starts_with("@WAIT(");
}

bool isLyricLine(std::string_view line)
{
    return !line.empty() && line.front() != '@';
}

std::string_view waitLineTail(std::string_view line)
{
    const std::size_t close = line.find(')');
    if (close == std::string_view::npos)
        return {};
    std::string_view rest = line.substr(close + 1);
    if (rest.starts_with(';'))
        rest.remove_prefix(1);
    return rest;
}

std::string rewrittenWaitLine(std::string_view line, const MusicalPosition &p)
{
    std::string out = formatWait(p);
    out += waitLineTail(line);
    return out;
}

std::int32_t leadingInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), kLimit);
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, kLimit - 1));
}

MusicalPosition readWaitPosition(std::string_view text)
{
    constexpr std::size_t kNumbersStart = 6; // after "@WAIT("
    const std::size_t comma = findWithin15(text, ',');
    const std::size_t close = findWithin15(text, ')');
    return {leadingInteger(span(text, kNumbersStart, comma)),
            leadingInteger(span(text, comma + 1, close))};
}

} // namespace velkan
