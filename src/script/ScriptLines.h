#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// One script line: the Shift-JIS bytes exactly as read or typed, without the
// line end. Never converted, trimmed or re-encoded.
using ScriptLine = std::string;

// The lines of a script, stored compactly. A loaded file keeps its bytes in
// one shared block and each line is a view into it; a line typed or replaced
// later owns a copy of its bytes. Copies share the loaded blocks, which never
// change, so copying a long script is cheap and a copy never sees edits of
// the original.
class ScriptLines {
public:
    ScriptLines() = default;
    ScriptLines(const std::vector<ScriptLine> &lines);
    ScriptLines(std::initializer_list<std::string_view> lines);

    // The file rule: CR LF or a lone LF ends a line (a lone CR stays a byte
    // of its line) and a Ctrl-Z ends the text. The lines view the text.
    static ScriptLines fromText(std::string text);

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    std::string_view operator[](std::size_t i) const { return m_lines[i].view(); }
    std::string_view front() const { return m_lines.front().view(); }
    std::string_view back() const { return m_lines.back().view(); }

    void insert(std::size_t at, std::string_view line);
    void insert(std::size_t at, const std::vector<ScriptLine> &block);
    void push_back(std::string_view line) { insert(size(), line); }
    void erase(std::size_t first, std::size_t count);
    void replace(std::size_t i, std::string_view line);
    void clear();

    std::vector<ScriptLine> toVector() const;

    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        std::string_view operator*() const { return (*m_owner)[m_index]; }
        std::string_view operator[](difference_type n) const { return (*m_owner)[m_index + n]; }
        const_iterator &operator++() { ++m_index; return *this; }
        const_iterator operator++(int) { auto old = *this; ++m_index; return old; }
        const_iterator &operator--() { --m_index; return *this; }
        const_iterator operator--(int) { auto old = *this; --m_index; return old; }
        const_iterator &operator+=(difference_type n) { m_index += n; return *this; }
        const_iterator &operator-=(difference_type n) { m_index -= n; return *this; }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator &a, const const_iterator &b)
        {
            return static_cast<difference_type>(a.m_index) - static_cast<difference_type>(b.m_index);
        }
        friend bool operator==(const const_iterator &a, const const_iterator &b)
        {
            return a.m_index == b.m_index;
        }
        friend auto operator<=>(const const_iterator &a, const const_iterator &b)
        {
            return a.m_index <=> b.m_index;
        }

    private:
        friend class ScriptLines;
        const_iterator(const ScriptLines *owner, std::size_t index) : m_owner(owner), m_index(index) {}
        const ScriptLines *m_owner = nullptr;
        std::size_t m_index = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    friend bool operator==(const ScriptLines &a, const ScriptLines &b);
    friend bool operator==(const ScriptLines &a, const std::vector<ScriptLine> &b);

private:
    // 16 bytes: a pointer and a length whose top bit says whether the bytes
    // belong to this line (then it frees them) or to a shared block.
    class Stored {
    public:
        Stored() = default;
        static Stored borrowed(const char *data, std::size_t size);
        static Stored owned(std::string_view bytes);
        Stored(const Stored &other);
        Stored &operator=(const Stored &other);
        Stored(Stored &&other) noexcept;
        Stored &operator=(Stored &&other) noexcept;
        ~Stored();

        std::string_view view() const { return {m_data, m_size & kSizeMask}; }

    private:
        static constexpr std::size_t kOwnedBit = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
        static constexpr std::size_t kSizeMask = ~kOwnedBit;
        bool isOwned() const { return (m_size & kOwnedBit) != 0; }
        void release();

        const char *m_data = nullptr;
        std::size_t m_size = 0;
    };

    template <class Range>
    static std::vector<Stored> ownedCopies(const Range &lines);

    std::vector<Stored> m_lines;
    // The loaded text the borrowed lines view; lines are only ever loaded
    // from one text, and copies share it.
    std::shared_ptr<const std::string> m_block;
};

} // namespace velkan
