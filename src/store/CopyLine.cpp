#include "store/CopyLine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sql/Encoding.h"
#include "sql/MultiByte.h"
#include "sql/SqlText.h"

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// Bytes of the word equal to c, as high bits; the lowest one marks the first match.
inline uint64_t MatchBytes(uint64_t word, unsigned char c) {
    const uint64_t x = word ^ (kOnes * c);
    return (x - kOnes) & ~x & kHighs;
}

// The next tab or backslash (and, when highToo, byte of 0x80 or above) from i on, eight
// bytes at a time: most of a row is ordinary text.
inline size_t FindSpecial(const char* data, size_t i, size_t length, bool highToo) {
#if defined(__SSE2__)
    // Sixteen at a time where the CPU has it (every x86-64 does).
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i backslash = _mm_set1_epi8('\\');
    while (i + 16 <= length) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        int found = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(block, tab), _mm_cmpeq_epi8(block, backslash)));
        if (highToo) found |= _mm_movemask_epi8(block);
        if (found != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(found)));
        i += 16;
    }
#endif
    while (i + 8 <= length) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        uint64_t found = MatchBytes(word, '\t') | MatchBytes(word, '\\');
        if (highToo) found |= word & kHighs;
        if (found != 0) return i + (static_cast<size_t>(__builtin_ctzll(found)) >> 3);
        i += 8;
    }
    while (i < length) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c == '\t' || c == '\\' || (highToo && c >= 0x80)) break;
        ++i;
    }
    return i;
}

}  // namespace

namespace {

// Undoes the escapes of the field starting at i into field and returns where it ends: at the
// tab that separates it from the next field, or at length.
size_t DecodeField(const char* data, size_t i, size_t length, CopyField& field, int codePage,
                   bool multiByte) {
    field.isNull = false;
    field.bytes.clear();
    const size_t fieldStart = i;
    bool startsWithNull = false;
    while (i < length) {
        // Copy the run of ordinary bytes in one go.
        const size_t runStart = i;
        i = FindSpecial(data, i, length, multiByte);
        if (i > runStart) field.bytes.append(data + runStart, i - runStart);
        if (i >= length) break;

        const unsigned char byte = static_cast<unsigned char>(data[i]);
        if (byte >= 0x80) {
            // Only reached for multi-byte code pages: a trail byte may be 0x5C or 0x09.
            const size_t remaining = length - i;
            size_t take = MultiByteLength(codePage, byte, data + i + 1, remaining - 1);
            if (take > remaining) take = remaining;
            field.bytes.append(data + i, take);
            i += take;
            continue;
        }
        if (byte == '\t') break;
        // A backslash.
        if (i + 1 >= length) {
            field.bytes.push_back('\\');
            ++i;
            continue;
        }
        const char c = data[i + 1];
        size_t consumed = 2;
        switch (c) {
            case 'N':
                field.bytes.push_back('N');
                if (i == fieldStart) startsWithNull = true;
                break;
            case 'b':
                field.bytes.push_back('\b');
                break;
            case 'f':
                field.bytes.push_back('\f');
                break;
            case 'n':
                field.bytes.push_back('\n');
                break;
            case 'r':
                field.bytes.push_back('\r');
                break;
            case 't':
                field.bytes.push_back('\t');
                break;
            case 'v':
                field.bytes.push_back('\v');
                break;
            case 'x': {
                int value = -1;
                if (i + 2 < length && HexDigitValue(data[i + 2]) >= 0) {
                    value = HexDigitValue(data[i + 2]);
                    consumed = 3;
                    if (i + 3 < length && HexDigitValue(data[i + 3]) >= 0) {
                        value = value * 16 + HexDigitValue(data[i + 3]);
                        consumed = 4;
                    }
                }
                field.bytes.push_back(value >= 0 ? static_cast<char>(value) : 'x');
                break;
            }
            default:
                if (IsOctalDigit(c)) {
                    int value = c - '0';
                    size_t k = i + 2;
                    while (k < length && k < i + 4 && IsOctalDigit(data[k])) {
                        value = value * 8 + (data[k] - '0');
                        ++k;
                    }
                    consumed = k - i;
                    field.bytes.push_back(static_cast<char>(value & 0xFF));
                } else {
                    field.bytes.push_back(c);
                }
        }
        i += consumed;
    }
    if (startsWithNull && i - fieldStart == 2) {
        field.isNull = true;
        field.bytes.clear();
    }
    return i;
}

// Where the field starting at i ends, without decoding it. A backslash always takes the
// byte after it (what follows an escape letter or digit is never a tab), so an escaped tab
// does not end the field here either. Single-byte and UTF-8 text only.
size_t SkipField(const char* data, size_t i, size_t length) {
    for (;;) {
        i = FindSpecial(data, i, length, false);
        if (i >= length || data[i] == '\t') return i;
        i += 2;
        if (i > length) return length;
    }
}

}  // namespace

void SplitCopyLine(const char* data, size_t length, std::vector<CopyField>& fields, int codePage) {
    // The fields' strings are reused from call to call; only the count is reset.
    const bool multiByte = IsMultiByteCodePage(codePage);
    size_t count = 0;
    size_t i = 0;
    for (;;) {
        if (count == fields.size()) fields.emplace_back();
        i = DecodeField(data, i, length, fields[count++], codePage, multiByte);
        if (i >= length) break;
        ++i;  // the tab
    }
    fields.resize(count);
}

void SplitCopyLineColumns(const char* data, size_t length, std::vector<CopyField>& fields,
                          int codePage, const std::vector<bool>& wanted) {
    const bool multiByte = IsMultiByteCodePage(codePage);
    if (wanted.empty() || multiByte) {
        SplitCopyLine(data, length, fields, codePage);
        return;
    }
    size_t last = wanted.size();
    while (last > 0 && !wanted[last - 1]) --last;
    size_t count = 0;
    size_t i = 0;
    while (count < last) {
        if (count == fields.size()) fields.emplace_back();
        CopyField& field = fields[count];
        if (wanted[count]) {
            i = DecodeField(data, i, length, field, codePage, false);
        } else {
            field.isNull = true;
            field.bytes.clear();
            i = SkipField(data, i, length);
        }
        ++count;
        if (i >= length) break;
        ++i;  // the tab
    }
    fields.resize(count);
}

void CopyFieldsToCells(const std::vector<CopyField>& fields, size_t columnCount, int codePage,
                       const std::vector<bool>& wanted, RowCells& cells) {
    const size_t count = std::max(columnCount, fields.size());
    cells.resize(count);
    const bool all = wanted.empty();
    for (size_t j = 0; j < count; ++j) {
        CellValue& cell = cells[j];
        cell.text.clear();
        if (j >= fields.size() || fields[j].isNull ||
            (!all && (j >= wanted.size() || !wanted[j]))) {
            cell.isNull = true;
            continue;
        }
        cell.isNull = false;
        AppendWide(fields[j].bytes.data(), fields[j].bytes.size(), codePage, cell.text);
    }
}
