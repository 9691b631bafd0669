#include "script/ScriptLines.h"

#include <algorithm>
#include <cstring>

namespace velkan {

ScriptLines::Stored ScriptLines::Stored::borrowed(const char *data, std::size_t size)
{
    Stored s;
    s.m_data = data;
    s.m_size = size;
    return s;
}

ScriptLines::Stored ScriptLines::Stored::owned(std::string_view bytes)
{
    Stored s;
    if (!bytes.empty()) {
        char *copy = new char[bytes.size()];
        std::memcpy(copy, bytes.data(), bytes.size());
        s.m_data = copy;
        s.m_size = bytes.size() | kOwnedBit;
    }
    return s;
}

ScriptLines::Stored::Stored(const Stored &other)
{
    if (other.isOwned()) {
        *this = owned(other.view());
    } else {
        m_data = other.m_data;
        m_size = other.m_size;
    }
}

ScriptLines::Stored &ScriptLines::Stored::operator=(const Stored &other)
{
    if (this != &other)
        *this = Stored(other);
    return *this;
}

ScriptLines::Stored::Stored(Stored &&other) noexcept : m_data(other.m_data), m_size(other.m_size)
{
    other.m_data = nullptr;
    other.m_size = 0;
}

ScriptLines::Stored &ScriptLines::Stored::operator=(Stored &&other) noexcept
{
    if (this != &other) {
        release();
        m_data = other.m_data;
        m_size = other.m_size;
        other.m_data = nullptr;
        other.m_size = 0;
    }
    return *this;
}

ScriptLines::Stored::~Stored()
{
    release();
}

void ScriptLines::Stored::release()
{
    if (isOwned())
        delete[] m_data;
    m_data = nullptr;
    m_size = 0;
}

template <class Range>
std::vector<ScriptLines::Stored> ScriptLines::ownedCopies(const Range &lines)
{
    std::vector<Stored> stored;
    stored.reserve(lines.size());
    for (const std::string_view line : lines)
        stored.push_back(Stored::owned(line));
    return stored;
}

ScriptLines::ScriptLines(const std::vector<ScriptLine> &lines) : m_lines(ownedCopies(lines)) {}

ScriptLines::ScriptLines(std::initializer_list<std::string_view> lines) : m_lines(ownedCopies(lines)) {}

ScriptLines ScriptLines::fromText(std::string text)
{
    ScriptLines result;
    if (const auto eof = text.find('\x1A'); eof != std::string::npos)
        text.resize(eof);
    if (text.empty())
        return result;
    auto block = std::make_shared<const std::string>(std::move(text));
    const char *const begin = block->data();
    const char *const end = begin + block->size();
    // Room for lines of 16 bytes on average: scripts run longer than that,
    // and the pages never used are never touched.
    result.m_lines.reserve(block->size() / 16 + 16);
    const char *start = begin;
    while (start < end) {
        const void *found = std::memchr(start, '\n', static_cast<std::size_t>(end - start));
        const char *stop = found ? static_cast<const char *>(found) : end;
        const char *next = found ? stop + 1 : end;
        if (found && stop > start && stop[-1] == '\r')
            --stop;
        result.m_lines.push_back(Stored::borrowed(start, static_cast<std::size_t>(stop - start)));
        start = next;
    }
    result.m_block = std::move(block);
    return result;
}

void ScriptLines::insert(std::size_t at, std::string_view line)
{
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(std::min(at, size())),
                   Stored::owned(line));
}

void ScriptLines::insert(std::size_t at, const std::vector<ScriptLine> &block)
{
    std::vector<Stored> stored = ownedCopies(block);
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(std::min(at, size())),
                   std::make_move_iterator(stored.begin()), std::make_move_iterator(stored.end()));
}

void ScriptLines::erase(std::size_t first, std::size_t count)
{
    first = std::min(first, size());
    count = std::min(count, size() - first);
    const auto from = m_lines.begin() + static_cast<std::ptrdiff_t>(first);
    m_lines.erase(from, from + static_cast<std::ptrdiff_t>(count));
    if (m_lines.empty())
        m_block.reset();
}

void ScriptLines::replace(std::size_t i, std::string_view line)
{
    // The new bytes may be a view of the line they replace: copy them first.
    m_lines[i] = Stored::owned(line);
}

void ScriptLines::clear()
{
    m_lines.clear();
    m_block.reset();
}

std::vector<ScriptLine> ScriptLines::toVector() const
{
    return {begin(), end()};
}

bool operator==(const ScriptLines &a, const ScriptLines &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool operator==(const ScriptLines &a, const std::vector<ScriptLine> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace velkan
