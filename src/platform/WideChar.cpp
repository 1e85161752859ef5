#include "platform/WideChar.h"

#include <locale.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>

#include "platform/AsciiCase.h"

namespace platform {

namespace {

// The first code unit of every block of ten decimal digits (category Nd) in the BMP.
constexpr char16_t kDigitZeros[] = {
    0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6,
    0x0C66, 0x0CE6, 0x0D66, 0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0,
    0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50, 0x1BB0, 0x1C40, 0x1C50, 0xA620,
    0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
};

struct Range {
    char16_t first;
    char16_t last;
};

// Letters (categories Lu, Ll, Lt, Lm, Lo) above U+007F, from the Unicode 14 character
// database. Runs are joined across unassigned code points so the table stays small.
constexpr Range kLetters[] = {
    {0x00AA, 0x00AA}, {0x00B5, 0x00B5}, {0x00BA, 0x00BA}, {0x00C0, 0x00D6}, {0x00D8, 0x00F6},
    {0x00F8, 0x02C1}, {0x02C6, 0x02D1}, {0x02E0, 0x02E4}, {0x02EC, 0x02EC}, {0x02EE, 0x02EE},
    {0x0370, 0x0374}, {0x0376, 0x037D}, {0x037F, 0x037F}, {0x0386, 0x0386}, {0x0388, 0x03F5},
    {0x03F7, 0x0481}, {0x048A, 0x0559}, {0x0560, 0x0588}, {0x05D0, 0x05F2}, {0x0620, 0x064A},
    {0x066E, 0x066F}, {0x0671, 0x06D3}, {0x06D5, 0x06D5}, {0x06E5, 0x06E6}, {0x06EE, 0x06EF},
    {0x06FA, 0x06FC}, {0x06FF, 0x06FF}, {0x0710, 0x0710}, {0x0712, 0x072F}, {0x074D, 0x07A5},
    {0x07B1, 0x07B1}, {0x07CA, 0x07EA}, {0x07F4, 0x07F5}, {0x07FA, 0x07FA}, {0x0800, 0x0815},
    {0x081A, 0x081A}, {0x0824, 0x0824}, {0x0828, 0x0828}, {0x0840, 0x0858}, {0x0860, 0x0887},
    {0x0889, 0x088E}, {0x08A0, 0x08C9}, {0x0904, 0x0939}, {0x093D, 0x093D}, {0x0950, 0x0950},
    {0x0958, 0x0961}, {0x0971, 0x0980}, {0x0985, 0x09B9}, {0x09BD, 0x09BD}, {0x09CE, 0x09CE},
    {0x09DC, 0x09E1}, {0x09F0, 0x09F1}, {0x09FC, 0x09FC}, {0x0A05, 0x0A39}, {0x0A59, 0x0A5E},
    {0x0A72, 0x0A74}, {0x0A85, 0x0AB9}, {0x0ABD, 0x0ABD}, {0x0AD0, 0x0AE1}, {0x0AF9, 0x0AF9},
    {0x0B05, 0x0B39}, {0x0B3D, 0x0B3D}, {0x0B5C, 0x0B61}, {0x0B71, 0x0B71}, {0x0B83, 0x0BB9},
    {0x0BD0, 0x0BD0}, {0x0C05, 0x0C39}, {0x0C3D, 0x0C3D}, {0x0C58, 0x0C61}, {0x0C80, 0x0C80},
    {0x0C85, 0x0CB9}, {0x0CBD, 0x0CBD}, {0x0CDD, 0x0CE1}, {0x0CF1, 0x0CF2}, {0x0D04, 0x0D3A},
    {0x0D3D, 0x0D3D}, {0x0D4E, 0x0D4E}, {0x0D54, 0x0D56}, {0x0D5F, 0x0D61}, {0x0D7A, 0x0D7F},
    {0x0D85, 0x0DC6}, {0x0E01, 0x0E30}, {0x0E32, 0x0E33}, {0x0E40, 0x0E46}, {0x0E81, 0x0EB0},
    {0x0EB2, 0x0EB3}, {0x0EBD, 0x0EC6}, {0x0EDC, 0x0F00}, {0x0F40, 0x0F6C}, {0x0F88, 0x0F8C},
    {0x1000, 0x102A}, {0x103F, 0x103F}, {0x1050, 0x1055}, {0x105A, 0x105D}, {0x1061, 0x1061},
    {0x1065, 0x1066}, {0x106E, 0x1070}, {0x1075, 0x1081}, {0x108E, 0x108E}, {0x10A0, 0x10FA},
    {0x10FC, 0x135A}, {0x1380, 0x138F}, {0x13A0, 0x13FD}, {0x1401, 0x166C}, {0x166F, 0x167F},
    {0x1681, 0x169A}, {0x16A0, 0x16EA}, {0x16F1, 0x1711}, {0x171F, 0x1731}, {0x1740, 0x1751},
    {0x1760, 0x1770}, {0x1780, 0x17B3}, {0x17D7, 0x17D7}, {0x17DC, 0x17DC}, {0x1820, 0x1884},
    {0x1887, 0x18A8}, {0x18AA, 0x191E}, {0x1950, 0x19C9}, {0x1A00, 0x1A16}, {0x1A20, 0x1A54},
    {0x1AA7, 0x1AA7}, {0x1B05, 0x1B33}, {0x1B45, 0x1B4C}, {0x1B83, 0x1BA0}, {0x1BAE, 0x1BAF},
    {0x1BBA, 0x1BE5}, {0x1C00, 0x1C23}, {0x1C4D, 0x1C4F}, {0x1C5A, 0x1C7D}, {0x1C80, 0x1CBF},
    {0x1CE9, 0x1CEC}, {0x1CEE, 0x1CF3}, {0x1CF5, 0x1CF6}, {0x1CFA, 0x1DBF}, {0x1E00, 0x1FBC},
    {0x1FBE, 0x1FBE}, {0x1FC2, 0x1FCC}, {0x1FD0, 0x1FDB}, {0x1FE0, 0x1FEC}, {0x1FF2, 0x1FFC},
    {0x2071, 0x2071}, {0x207F, 0x207F}, {0x2090, 0x209C}, {0x2102, 0x2102}, {0x2107, 0x2107},
    {0x210A, 0x2113}, {0x2115, 0x2115}, {0x2119, 0x211D}, {0x2124, 0x2124}, {0x2126, 0x2126},
    {0x2128, 0x2128}, {0x212A, 0x212D}, {0x212F, 0x2139}, {0x213C, 0x213F}, {0x2145, 0x2149},
    {0x214E, 0x214E}, {0x2183, 0x2184}, {0x2C00, 0x2CE4}, {0x2CEB, 0x2CEE}, {0x2CF2, 0x2CF3},
    {0x2D00, 0x2D6F}, {0x2D80, 0x2DDE}, {0x2E2F, 0x2E2F}, {0x3005, 0x3006}, {0x3031, 0x3035},
    {0x303B, 0x303C}, {0x3041, 0x3096}, {0x309D, 0x309F}, {0x30A1, 0x30FA}, {0x30FC, 0x318E},
    {0x31A0, 0x31BF}, {0x31F0, 0x31FF}, {0x3400, 0x4DBF}, {0x4E00, 0xA48C}, {0xA4D0, 0xA4FD},
    {0xA500, 0xA60C}, {0xA610, 0xA61F}, {0xA62A, 0xA66E}, {0xA67F, 0xA69D}, {0xA6A0, 0xA6E5},
    {0xA717, 0xA71F}, {0xA722, 0xA788}, {0xA78B, 0xA801}, {0xA803, 0xA805}, {0xA807, 0xA80A},
    {0xA80C, 0xA822}, {0xA840, 0xA873}, {0xA882, 0xA8B3}, {0xA8F2, 0xA8F7}, {0xA8FB, 0xA8FB},
    {0xA8FD, 0xA8FE}, {0xA90A, 0xA925}, {0xA930, 0xA946}, {0xA960, 0xA97C}, {0xA984, 0xA9B2},
    {0xA9CF, 0xA9CF}, {0xA9E0, 0xA9E4}, {0xA9E6, 0xA9EF}, {0xA9FA, 0xAA28}, {0xAA40, 0xAA42},
    {0xAA44, 0xAA4B}, {0xAA60, 0xAA76}, {0xAA7A, 0xAA7A}, {0xAA7E, 0xAAAF}, {0xAAB1, 0xAAB1},
    {0xAAB5, 0xAAB6}, {0xAAB9, 0xAABD}, {0xAAC0, 0xAAC0}, {0xAAC2, 0xAADD}, {0xAAE0, 0xAAEA},
    {0xAAF2, 0xAAF4}, {0xAB01, 0xAB5A}, {0xAB5C, 0xAB69}, {0xAB70, 0xABE2}, {0xAC00, 0xD7FB},
    {0xF900, 0xFB1D}, {0xFB1F, 0xFB28}, {0xFB2A, 0xFBB1}, {0xFBD3, 0xFD3D}, {0xFD50, 0xFDC7},
    {0xFDF0, 0xFDFB}, {0xFE70, 0xFEFC}, {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A}, {0xFF66, 0xFFDC},
};

bool InRanges(const Range* begin, const Range* end, char16_t c) {
    // The first range that does not end before c.
    const Range* it =
        std::lower_bound(begin, end, c, [](const Range& r, char16_t v) { return r.last < v; });
    return it != end && it->first <= c;
}

bool IsAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsHexDigit(char16_t c) {
    return IsAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Case-insensitive match of an ASCII lower-case word at text[i].
bool MatchWord(const char16_t* text, size_t length, size_t i, const char* word) {
    for (; *word; ++word, ++i) {
        if (i >= length || ToLowerAscii(text[i]) != static_cast<char16_t>(*word)) return false;
    }
    return true;
}

// The index of the first character from i on that pred rejects.
template <typename Pred>
size_t SkipWhile(const char16_t* text, size_t length, size_t i, Pred pred) {
    while (i < length && pred(text[i])) ++i;
    return i;
}

// An exponent ("e-12", "p+3") counts only when at least one digit follows its sign.
size_t SkipExponent(const char16_t* text, size_t length, size_t i, char16_t marker) {
    if (i >= length || ToLowerAscii(text[i]) != marker) return i;
    size_t j = i + 1;
    if (j < length && (text[j] == u'+' || text[j] == u'-')) ++j;
    size_t end = SkipWhile(text, length, j, IsAsciiDigit);
    return end > j ? end : i;
}

// Where a number starting at i (after the sign) ends; i when there is none.
size_t ScanNumber(const char16_t* text, size_t length, size_t i) {
    if (MatchWord(text, length, i, "infinity")) return i + 8;
    if (MatchWord(text, length, i, "inf")) return i + 3;
    if (MatchWord(text, length, i, "nan")) {
        size_t j = i + 3;
        // "nan(chars)" takes the parenthesised part only when it is closed.
        if (j < length && text[j] == u'(') {
            size_t k = SkipWhile(text, length, j + 1, [](char16_t c) {
                return IsAsciiDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                       c == u'_';
            });
            if (k < length && text[k] == u')') return k + 1;
        }
        return j;
    }
    if (i + 1 < length && text[i] == u'0' && ToLowerAscii(text[i + 1]) == u'x') {
        size_t j = SkipWhile(text, length, i + 2, IsHexDigit);
        bool digits = j > i + 2;
        if (j < length && text[j] == u'.') {
            size_t k = SkipWhile(text, length, j + 1, IsHexDigit);
            digits = digits || k > j + 1;
            j = k;
        }
        // "0x" without hex digits is the number 0 followed by the letter x.
        if (!digits) return i + 1;
        return SkipExponent(text, length, j, u'p');
    }
    size_t j = SkipWhile(text, length, i, IsAsciiDigit);
    bool digits = j > i;
    if (j < length && text[j] == u'.') {
        size_t k = SkipWhile(text, length, j + 1, IsAsciiDigit);
        digits = digits || k > j + 1;
        j = k;
    }
    if (!digits) return i;
    return SkipExponent(text, length, j, u'e');
}

// The "C" locale, so a decimal comma in the user's LC_NUMERIC (Qt sets the locale from the
// environment) never changes how numbers are read or printed.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

}  // namespace

bool IsWideSpace(char16_t c) {
    if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    if (c < 0x85) return false;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

int WideDigitValue(char16_t c) {
    if (c < 0x80) return IsAsciiDigit(c) ? c - u'0' : -1;
    const char16_t* end = std::end(kDigitZeros);
    // The last block that starts at or before c.
    const char16_t* it = std::upper_bound(std::begin(kDigitZeros), end, c);
    int value = c - *(it - 1);
    return value < 10 ? value : -1;
}

bool IsWideDigit(char16_t c) {
    return WideDigitValue(c) >= 0;
}

bool IsWideAlpha(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    return InRanges(std::begin(kLetters), std::end(kLetters), c);
}

size_t WideToDouble(const char16_t* text, size_t length, double& value) {
    value = 0.0;
    size_t start = SkipWhile(text, length, 0, IsWideSpace);
    size_t i = start;
    if (i < length && (text[i] == u'+' || text[i] == u'-')) ++i;
    size_t end = ScanNumber(text, length, i);
    if (end == i) return 0;
    // Everything accepted is ASCII; strtod does the correctly rounded conversion.
    std::string ascii(text + start, text + end);
    value = strtod_l(ascii.c_str(), nullptr, CLocale());
    return end;
}

int WideToInt32(const std::u16string& text) {
    size_t i = SkipWhile(text.data(), text.size(), 0, IsWideSpace);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // One past the largest magnitude, so accumulation can stop as soon as it saturates.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    // Like the Windows runtime, any Unicode decimal digit counts (full-width ones too).
    for (int digit; i < text.size() && (digit = WideDigitValue(text[i])) >= 0; ++i) {
        magnitude = std::min(kLimit, magnitude * 10 + digit);
    }
    if (negative) return static_cast<int>(-magnitude);
    return static_cast<int>(std::min(magnitude, kLimit - 1));
}

std::u16string FormatDecimal(int64_t value) {
    char buffer[24];
    int n = std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    return std::u16string(buffer, buffer + n);
}

std::u16string FormatDouble15g(double value) {
    // glibc prints "inf", "-inf", "nan" and "-nan" for the special values; they are kept.
    char buffer[32];
    locale_t previous = uselocale(CLocale());
    int n = std::snprintf(buffer, sizeof buffer, "%.15g", value);
    uselocale(previous);
    if (n < 0) return {};
    return std::u16string(buffer, buffer + std::min<size_t>(n, sizeof buffer - 1));
}

}  // namespace platform
