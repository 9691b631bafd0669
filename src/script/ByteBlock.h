#pragma once

#include <cstddef>
#include <new>
#include <string_view>

namespace velkan {

// Memory for large working data (a loaded script, the table of its lines).
// A large request is mapped from the system with all its pages in place at
// once, which spares a page fault per 4 KB as the data is first written; the
// bytes come cleared by the system and are not cleared again. Small requests
// go to the ordinary heap. Both throw std::bad_alloc when out of memory.
void *allocateLarge(std::size_t bytes);
void freeLarge(void *memory, std::size_t bytes) noexcept;

template <class T> struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U> LargeAllocator(const LargeAllocator<U> &) noexcept {}
    T *allocate(std::size_t n)
    {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T *>(allocateLarge(n * sizeof(T)));
    }
    void deallocate(T *p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T)); }
    template <class U> bool operator==(const LargeAllocator<U> &) const noexcept { return true; }
};

// A file's bytes in memory: owned, movable, not copyable. Unlike a string it
// does not clear what it is about to read into.
class ByteBlock {
public:
    ByteBlock() = default;
    explicit ByteBlock(std::string_view bytes);
    ByteBlock(ByteBlock &&other) noexcept;
    ByteBlock &operator=(ByteBlock &&other) noexcept;
    ByteBlock(const ByteBlock &) = delete;
    ByteBlock &operator=(const ByteBlock &) = delete;
    ~ByteBlock();

    char *data() { return m_data; }
    const char *data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return {m_data, m_size}; }

    // Keeps the first min(size, old size) bytes; bytes added are for the
    // caller to fill.
    void resize(std::size_t size);
    void append(std::string_view bytes);

private:
    void reserve(std::size_t capacity);

    char *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace velkan
