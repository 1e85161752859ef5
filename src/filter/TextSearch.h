#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Searches over UTF-16 text that fold ASCII letters on the fly, shared by the keyword test
// and LIKE. A unit c matches a wanted unit v with mask when (c | mask) == v: mask is 0x20
// for a lower-case ASCII letter v when case is ignored (so 'A' and 'a' both match 'a'),
// and 0 otherwise (an exact match).
namespace text_search {

inline constexpr size_t kNotFound = static_cast<size_t>(-1);

inline char16_t FoldMask(char16_t loweredValue) {
    return (loweredValue >= u'a' && loweredValue <= u'z') ? 0x20 : 0;
}

// The first index q in [from, last] with (text[q] | mask) == value; kNotFound if none.
size_t FindUnit(const char16_t* text, size_t from, size_t last, char16_t value, char16_t mask);

// The first q in [from, last] where text[q] matches (value, mask) and text[q + gap] matches
// (value2, mask2); kNotFound if none. text must hold last + gap + 1 units.
size_t FindPair(const char16_t* text, size_t from, size_t last, char16_t value, char16_t mask,
                size_t gap, char16_t value2, char16_t mask2);

// A lower-case needle prepared once and then looked for in many texts, ignoring the case
// of the texts' ASCII letters. An empty needle is found everywhere.
class CFoldedNeedle {
public:
    explicit CFoldedNeedle(std::u16string loweredNeedle = {});
    bool FoundIn(std::u16string_view text) const;
    bool Empty() const { return m_needle.empty(); }

private:
    std::u16string m_needle;
    char16_t m_first = 0;
    char16_t m_firstMask = 0;
    char16_t m_final = 0;
    char16_t m_finalMask = 0;
#if defined(__SSE2__)
    __m128i m_firstWanted;
    __m128i m_firstFold;
    __m128i m_finalWanted;
    __m128i m_finalFold;
#endif
};

// True when text contains needle with text's ASCII letters lower-cased; needle must be
// lower-case already.
bool ContainsFolded(std::u16string_view text, std::u16string_view loweredNeedle);

}  // namespace text_search
