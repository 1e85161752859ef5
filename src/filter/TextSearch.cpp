#include "filter/TextSearch.h"

#include <utility>

namespace text_search {

size_t FindUnit(const char16_t* text, size_t from, size_t last, char16_t value, char16_t mask) {
    size_t i = from;
#if defined(__SSE2__)
    // Eight units per step; cells are short, but names and notes are not.
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(value));
    const __m128i fold = _mm_set1_epi16(static_cast<short>(mask));
    for (; i + 8 <= last + 1; i += 8) {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        int bits = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(units, fold), wanted));
        if (bits != 0) return i + (static_cast<unsigned>(__builtin_ctz(bits)) >> 1);
    }
#endif
    for (; i <= last; ++i) {
        if ((text[i] | mask) == value) return i;
    }
    return kNotFound;
}

size_t FindPair(const char16_t* text, size_t from, size_t last, char16_t value, char16_t mask,
                size_t gap, char16_t value2, char16_t mask2) {
    size_t i = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(value));
    const __m128i fold = _mm_set1_epi16(static_cast<short>(mask));
    const __m128i wanted2 = _mm_set1_epi16(static_cast<short>(value2));
    const __m128i fold2 = _mm_set1_epi16(static_cast<short>(mask2));
    for (; i + 8 <= last + 1; i += 8) {
        __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + gap));
        __m128i hit = _mm_and_si128(_mm_cmpeq_epi16(_mm_or_si128(first, fold), wanted),
                                    _mm_cmpeq_epi16(_mm_or_si128(second, fold2), wanted2));
        int bits = _mm_movemask_epi8(hit);
        if (bits != 0) return i + (static_cast<unsigned>(__builtin_ctz(bits)) >> 1);
    }
#endif
    for (; i <= last; ++i) {
        if ((text[i] | mask) == value && (text[i + gap] | mask2) == value2) return i;
    }
    return kNotFound;
}

CFoldedNeedle::CFoldedNeedle(std::u16string loweredNeedle) : m_needle(std::move(loweredNeedle)) {
    if (!m_needle.empty()) {
        m_first = m_needle.front();
        m_final = m_needle.back();
    }
    m_firstMask = FoldMask(m_first);
    m_finalMask = FoldMask(m_final);
#if defined(__SSE2__)
    m_firstWanted = _mm_set1_epi16(static_cast<short>(m_first));
    m_firstFold = _mm_set1_epi16(static_cast<short>(m_firstMask));
    m_finalWanted = _mm_set1_epi16(static_cast<short>(m_final));
    m_finalFold = _mm_set1_epi16(static_cast<short>(m_finalMask));
#endif
}

// Candidates must match the needle's first and last unit, tested together; that skips
// most false starts on a common first letter. The units between are checked after.
bool CFoldedNeedle::FoundIn(std::u16string_view text) const {
    const size_t m = m_needle.size();
    if (m == 0) return true;
    if (m > text.size()) return false;
    const char16_t* data = text.data();
    const size_t last = text.size() - m;
    const size_t gap = m - 1;
    auto middleMatches = [&](size_t q) {
        for (size_t j = 1; j < gap; ++j) {
            if ((data[q + j] | FoldMask(m_needle[j])) != m_needle[j]) return false;
        }
        return true;
    };
    size_t i = 0;
#if defined(__SSE2__)
    if (last + 1 >= 8) {
        for (;;) {
            __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            __m128i final = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + gap));
            __m128i hit =
                _mm_and_si128(_mm_cmpeq_epi16(_mm_or_si128(first, m_firstFold), m_firstWanted),
                              _mm_cmpeq_epi16(_mm_or_si128(final, m_finalFold), m_finalWanted));
            unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hit));
            while (bits != 0) {
                unsigned lane = static_cast<unsigned>(__builtin_ctz(bits)) >> 1;
                if (middleMatches(i + lane)) return true;
                bits &= ~(3u << (lane * 2));
            }
            if (i + 8 > last) return false;
            // The last block may overlap the one before; it ends exactly at the last start.
            i = i + 16 <= last + 1 ? i + 8 : last + 1 - 8;
        }
    }
#endif
    for (; i <= last; ++i) {
        if ((data[i] | m_firstMask) == m_first && (data[i + gap] | m_finalMask) == m_final &&
            middleMatches(i)) {
            return true;
        }
    }
    return false;
}

bool ContainsFolded(std::u16string_view text, std::u16string_view loweredNeedle) {
    return CFoldedNeedle(std::u16string(loweredNeedle)).FoundIn(text);
}

}  // namespace text_search
