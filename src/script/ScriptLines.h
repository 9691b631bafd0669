#pragma once

#include "script/ByteBlock.h"

#include <cstddef>
#include <cstdint>
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
    static ScriptLines fromBlock(ByteBlock block);

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    std::string_view operator[](std::size_t i) const { return m_lines[i].view(m_text.data()); }
    std::string_view front() const { return (*this)[0]; }
    std::string_view back() const { return (*this)[size() - 1]; }

    void insert(std::size_t at, std::string_view line);
    void insert(std::size_t at, const std::vector<ScriptLine> &block);
    void push_back(std::string_view line) { insert(size(), line); }
    void erase(std::size_t first, std::size_t count);
    void replace(std::size_t i, std::string_view line);
    void clear();

    std::vector<ScriptLine> toVector() const;

    // How many lines from first on still stand in the loaded text as they
    // were read, each with its CR LF and back to back: their saved form is
    // then that stretch of the text (from the first line's data, each line's
    // size + 2 bytes).
    std::size_t loadedRun(std::size_t first) const;

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
        const_iterator &operator++()
        {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int)
        {
            auto old = *this;
            ++m_index;
            return old;
        }
        const_iterator &operator--()
        {
            --m_index;
            return *this;
        }
        const_iterator operator--(int)
        {
            auto old = *this;
            --m_index;
            return old;
        }
        const_iterator &operator+=(difference_type n)
        {
            m_index += n;
            return *this;
        }
        const_iterator &operator-=(difference_type n)
        {
            m_index -= n;
            return *this;
        }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator &a, const const_iterator &b)
        {
            return static_cast<difference_type>(a.m_index) -
                   static_cast<difference_type>(b.m_index);
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
        const_iterator(const ScriptLines *owner, std::size_t index) : m_owner(owner), m_index(index)
        {
        }
        const ScriptLines *m_owner = nullptr;
        std::size_t m_index = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    friend bool operator==(const ScriptLines &a, const ScriptLines &b);
    friend bool operator==(const ScriptLines &a, const std::vector<ScriptLine> &b);

private:
    // 8 bytes a line. A line as it stands in the loaded text is its offset
    // and size there, with the low bit set; a line of its own points to its
    // size and bytes (the low bit clear; null for an empty line).
    class Stored {
    public:
        Stored() = default;
        // Whether a line at this offset of the text, of this size, can be
        // stored as a view (the text is read whole; a view takes 32 bits of
        // offset and 31 of size).
        static bool fitsView(std::size_t offset, std::size_t size);
        static Stored viewing(std::size_t offset, std::size_t size);
        static Stored owned(std::string_view bytes);
        Stored(const Stored &other);
        Stored &operator=(const Stored &other);
        Stored(Stored &&other) noexcept;
        Stored &operator=(Stored &&other) noexcept;
        ~Stored();

        std::string_view view(const char *text) const
        {
            if (isView())
                return {text + (m_word >> 32), static_cast<std::size_t>((m_word >> 1) & kSizeMask)};
            if (m_word == 0)
                return {};
            const auto *size = reinterpret_cast<const std::size_t *>(m_word);
            return {reinterpret_cast<const char *>(size + 1), *size};
        }
        bool isView() const { return (m_word & 1) != 0; }
        std::size_t offset() const { return static_cast<std::size_t>(m_word >> 32); }

    private:
        static constexpr std::uint64_t kSizeMask = 0x7FFFFFFF;
        void release();

        std::uint64_t m_word = 0;
    };

    // A long script's table is large memory of its own.
    using Table = std::vector<Stored, LargeAllocator<Stored>>;

    template <class Range> static Table ownedCopies(const Range &lines);
    static ScriptLines viewing(std::shared_ptr<const void> owner, std::string_view text);

    Table m_lines;
    // The loaded text the borrowed lines view; lines are only ever loaded
    // from one text, and copies share it.
    std::shared_ptr<const void> m_block;
    std::string_view m_text;
};

} // namespace velkan
