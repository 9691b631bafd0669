#include "script/ScriptLines.h"

#include "script/LineEnds.h"

#include <algorithm>
#include <cstring>

namespace velkan {

bool ScriptLines::Stored::fitsView(std::size_t offset, std::size_t size)
{
    return offset <= 0xFFFFFFFFu && size <= kSizeMask;
}

ScriptLines::Stored ScriptLines::Stored::viewing(std::size_t offset, std::size_t size)
{
    Stored s;
    s.m_word = (std::uint64_t{offset} << 32) | (std::uint64_t{size} << 1) | 1;
    return s;
}

ScriptLines::Stored ScriptLines::Stored::owned(std::string_view bytes)
{
    Stored s;
    if (!bytes.empty()) {
        // Heap memory is aligned, so the low bit of its address is clear.
        auto *size = static_cast<std::size_t *>(::operator new(sizeof(std::size_t) + bytes.size()));
        *size = bytes.size();
        std::memcpy(size + 1, bytes.data(), bytes.size());
        s.m_word = reinterpret_cast<std::uintptr_t>(size);
    }
    return s;
}

ScriptLines::Stored::Stored(const Stored &other)
{
    if (other.isView())
        m_word = other.m_word;
    else
        *this = owned(other.view(nullptr));
}

ScriptLines::Stored &ScriptLines::Stored::operator=(const Stored &other)
{
    if (this != &other)
        *this = Stored(other);
    return *this;
}

ScriptLines::Stored::Stored(Stored &&other) noexcept : m_word(other.m_word)
{
    other.m_word = 0;
}

ScriptLines::Stored &ScriptLines::Stored::operator=(Stored &&other) noexcept
{
    if (this != &other) {
        release();
        m_word = other.m_word;
        other.m_word = 0;
    }
    return *this;
}

ScriptLines::Stored::~Stored()
{
    release();
}

void ScriptLines::Stored::release()
{
    if (!isView() && m_word != 0)
        ::operator delete(reinterpret_cast<void *>(m_word));
    m_word = 0;
}

template <class Range> ScriptLines::Table ScriptLines::ownedCopies(const Range &lines)
{
    Table stored;
    stored.reserve(lines.size());
    for (const std::string_view line : lines)
        stored.push_back(Stored::owned(line));
    return stored;
}

ScriptLines::ScriptLines(const std::vector<ScriptLine> &lines) : m_lines(ownedCopies(lines)) {}

ScriptLines::ScriptLines(std::initializer_list<std::string_view> lines)
    : m_lines(ownedCopies(lines))
{
}

namespace {

// A guess at how many lines a text holds, from samples across it, so the table
// is sized once for most scripts (a low guess costs one regrowth).
std::size_t estimateLines(std::string_view text)
{
    constexpr std::size_t kSample = 16384, kSamples = 4;
    if (text.size() <= kSample * kSamples)
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::size_t newlines = 0;
    for (std::size_t k = 0; k < kSamples; ++k) {
        const std::string_view sample =
            text.substr((text.size() - kSample) * k / (kSamples - 1), kSample);
        newlines += static_cast<std::size_t>(std::count(sample.begin(), sample.end(), '\n'));
    }
    const std::size_t guess = text.size() / (kSample * kSamples) * (newlines + 1) / 8 * 9 + 16;
    return std::min(guess, text.size() + 1);
}

} // namespace

ScriptLines ScriptLines::fromText(std::string text)
{
    auto owner = std::make_shared<const std::string>(std::move(text));
    const std::string_view view = *owner;
    return viewing(std::move(owner), view);
}

ScriptLines ScriptLines::fromBlock(ByteBlock block)
{
    auto owner = std::make_shared<const ByteBlock>(std::move(block));
    const std::string_view view = owner->view();
    return viewing(std::move(owner), view);
}

ScriptLines ScriptLines::viewing(std::shared_ptr<const void> owner, std::string_view text)
{
    ScriptLines result;
    result.m_lines.reserve(estimateLines(text));
    std::size_t start = 0;
    const auto addLine = [&](std::size_t stop) {
        const std::size_t size = stop - start;
        result.m_lines.push_back(Stored::fitsView(start, size)
                                     ? Stored::viewing(start, size)
                                     : Stored::owned(text.substr(start, size)));
    };
    std::size_t end = text.size();
    forEachLineMark(text, [&](std::size_t mark) {
        if (text[mark] == '\x1A') {
            end = mark;
            return false;
        }
        addLine(mark > start && text[mark - 1] == '\r' ? mark - 1 : mark);
        start = mark + 1;
        return true;
    });
    if (start < end)
        addLine(end);
    if (result.m_lines.empty())
        return {};
    // A text whose samples were unlike the rest may have been given far too
    // much room.
    if (result.m_lines.capacity() / 2 > result.m_lines.size() + 4096)
        result.m_lines.shrink_to_fit();
    result.m_block = std::move(owner);
    result.m_text = text.substr(0, end);
    return result;
}

std::size_t ScriptLines::loadedRun(std::size_t first) const
{
    std::size_t i = first;
    std::size_t expected = i < size() ? m_lines[i].offset() : 0;
    for (; i < size() && m_lines[i].isView() && m_lines[i].offset() == expected; ++i) {
        const std::string_view line = (*this)[i];
        const std::size_t after = expected + line.size();
        if (m_text.size() - after < 2 || m_text[after] != '\r' || m_text[after + 1] != '\n')
            break;
        expected = after + 2;
    }
    return i - first;
}

void ScriptLines::insert(std::size_t at, std::string_view line)
{
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(std::min(at, size())),
                   Stored::owned(line));
}

void ScriptLines::insert(std::size_t at, const std::vector<ScriptLine> &block)
{
    Table stored = ownedCopies(block);
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
        clear();
}

void ScriptLines::replace(std::size_t i, std::string_view line)
{
    // The new bytes may be a view of the line they replace: copy them first.
    m_lines[i] = Stored::owned(line);
}

void ScriptLines::clear()
{
    m_lines = Table();
    m_block.reset();
    m_text = {};
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
