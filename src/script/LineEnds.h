#pragma once

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velkan {

// Calls found(i) for the index of every LF and Ctrl-Z in text, in order,
// until found returns false. Scripts run a million short lines, so with SSE2
// this looks at 16 bytes at once rather than searching again from each line's
// start: on a 1,000,000-line script it takes a fraction of the time of a
// memchr from each line's start (bench_script measures both).
template <class Found> void forEachLineMark(std::string_view text, Found &&found)
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

} // namespace velkan
