#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Calls found(i) for every line feed data[i], in order, until found returns false; returns
// false then. Rows are short, so a call per line to memchr costs more than the search:
// this looks at 64 bytes at a time and walks the bits of the line feeds among them.
template <class Found>
inline bool ForEachLineFeed(const char* data, size_t length, Found&& found) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    auto mask16 = [&](size_t at) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        return static_cast<uint64_t>(
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf))));
    };
    for (; i + 64 <= length; i += 64) {
        uint64_t bits =
            mask16(i) | mask16(i + 16) << 16 | mask16(i + 32) << 32 | mask16(i + 48) << 48;
        while (bits != 0) {
            if (!found(i + static_cast<size_t>(__builtin_ctzll(bits)))) return false;
            bits &= bits - 1;
        }
    }
#endif
    while (i < length) {
        const void* at = std::memchr(data + i, '\n', length - i);
        if (at == nullptr) break;
        const size_t pos = static_cast<size_t>(static_cast<const char*>(at) - data);
        if (!found(pos)) return false;
        i = pos + 1;
    }
    return true;
}
