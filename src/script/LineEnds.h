#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velkan {

// Calls found(i) for the index of every LF and Ctrl-Z in text, in order,
// until found returns false. Scripts run a million short lines, so this looks
// at a word of bytes at a time rather than searching again from each line.
template <class Found>
void forEachLineMark(std::string_view text, Found &&found)
{
    const char *const bytes = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    const __m128i ends = _mm_set1_epi8('\x1A');
    for (; i + 16 <= n; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + i));
        auto marks = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, lineFeeds), _mm_cmpeq_epi8(chunk, ends))));
        while (marks) {
            if (!found(i + static_cast<std::size_t>(__builtin_ctz(marks))))
                return;
            marks &= marks - 1;
        }
    }
#endif
    for (; i < n; ++i) {
        if ((bytes[i] == '\n' || bytes[i] == '\x1A') && !found(i))
            return;
    }
}

// The same without vector instructions, eight bytes at a time (on a
// little-endian machine; elsewhere byte by byte).
template <class Found>
void forEachLineMarkPortable(std::string_view text, Found &&found)
{
    const char *const bytes = text.data();
    const std::size_t n = text.size();
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    // The high bit of each byte of x that is zero, and of no other (the low
    // seven bits are added on their own, so no carry crosses a byte).
    const auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x) & kHigh; };
    constexpr bool little = std::endian::native == std::endian::little;
    std::size_t i = 0;
    for (; little && i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        std::uint64_t marks = zeroBytes(word ^ 0x0A0A0A0A0A0A0A0Aull) |
                              zeroBytes(word ^ 0x1A1A1A1A1A1A1A1Aull);
        while (marks) {
            if (!found(i + static_cast<std::size_t>(__builtin_ctzll(marks) >> 3)))
                return;
            marks &= marks - 1;
        }
    }
    for (; i < n; ++i) {
        if ((bytes[i] == '\n' || bytes[i] == '\x1A') && !found(i))
            return;
    }
}

} // namespace velkan
