#include "script/ByteBlock.h"

#include <algorithm>
#include <cstring>
#include <sys/mman.h>

namespace velkan {

namespace {

// At and above this a request is mapped rather than taken from the heap.
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;

} // namespace

void *allocateLarge(std::size_t bytes)
{
    if (bytes < kMappedFrom)
        return ::operator new(bytes);
    void *memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    return memory;
}

void freeLarge(void *memory, std::size_t bytes) noexcept
{
    if (!memory)
        return;
    if (bytes < kMappedFrom)
        ::operator delete(memory);
    else
        ::munmap(memory, bytes);
}

ByteBlock::ByteBlock(std::string_view bytes)
{
    append(bytes);
}

ByteBlock::ByteBlock(ByteBlock &&other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_capacity(other.m_capacity)
{
    other.m_data = nullptr;
    other.m_size = other.m_capacity = 0;
}

ByteBlock &ByteBlock::operator=(ByteBlock &&other) noexcept
{
    if (this != &other) {
        freeLarge(m_data, m_capacity);
        m_data = other.m_data;
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_data = nullptr;
        other.m_size = other.m_capacity = 0;
    }
    return *this;
}

ByteBlock::~ByteBlock()
{
    freeLarge(m_data, m_capacity);
}

void ByteBlock::reserve(std::size_t capacity)
{
    if (capacity <= m_capacity)
        return;
    char *grown = static_cast<char *>(allocateLarge(capacity));
    if (m_size)
        std::memcpy(grown, m_data, m_size);
    freeLarge(m_data, m_capacity);
    m_data = grown;
    m_capacity = capacity;
}

void ByteBlock::resize(std::size_t size)
{
    if (size > m_capacity)
        reserve(size);
    m_size = size;
}

void ByteBlock::append(std::string_view bytes)
{
    if (bytes.empty())
        return;
    if (bytes.size() > m_capacity - m_size)
        reserve(std::max(m_size + bytes.size(), m_capacity + m_capacity / 2 + 4096));
    std::memcpy(m_data + m_size, bytes.data(), bytes.size());
    m_size += bytes.size();
}

} // namespace velkan
