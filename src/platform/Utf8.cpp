#include "platform/Utf8.h"

#include <cstdint>
#include <cstring>

namespace platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Copies a run of ASCII bytes eight at a time; returns how many were copied.
size_t CopyAsciiRun(const unsigned char* p, size_t n, char16_t* out) {
    size_t i = 0;
    while (i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL) break;
        for (int k = 0; k < 8; ++k) out[i + k] = p[i + k];
        i += 8;
    }
    while (i < n && p[i] < 0x80) {
        out[i] = p[i];
        ++i;
    }
    return i;
}

}  // namespace

void AppendUtf8AsUtf16(const char* data, size_t length, std::u16string& out) {
    if (length == 0) return;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const size_t base = out.size();
    // UTF-16 never needs more code units than UTF-8 has bytes.
    out.resize(base + length);
    char16_t* dst = out.data() + base;
    size_t o = 0;
    size_t i = 0;
    while (i < length) {
        if (p[i] < 0x80) {
            size_t run = CopyAsciiRun(p + i, length - i, dst + o);
            i += run;
            o += run;
            continue;
        }
        unsigned char b0 = p[i];
        uint32_t cp;
        size_t need;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            need = 1;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            need = 2;
            cp = b0 & 0x0F;
            if (b0 == 0xE0) lo = 0xA0;
            if (b0 == 0xED) hi = 0x9F;  // no surrogates
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            need = 3;
            cp = b0 & 0x07;
            if (b0 == 0xF0) lo = 0x90;
            if (b0 == 0xF4) hi = 0x8F;
        } else {
            dst[o++] = kReplacement;
            ++i;
            continue;
        }
        size_t j = 1;
        bool bad = false;
        for (; j <= need; ++j) {
            if (i + j >= length) {
                bad = true;
                break;
            }
            unsigned char b = p[i + j];
            unsigned char l = (j == 1) ? lo : 0x80;
            unsigned char h = (j == 1) ? hi : 0xBF;
            if (b < l || b > h) {
                bad = true;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (bad) {
            // The maximal valid prefix becomes one replacement character.
            dst[o++] = kReplacement;
            i += j;
            continue;
        }
        i += need + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            dst[o++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            dst[o++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            dst[o++] = static_cast<char16_t>(cp);
        }
    }
    out.resize(base + o);
}

std::u16string Utf8ToUtf16(const char* data, size_t length) {
    std::u16string out;
    AppendUtf8AsUtf16(data, length, out);
    return out;
}

bool IsValidUtf8(const char* data, size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    size_t i = 0;
    while (i < length) {
        if (i + 8 <= length) {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char b0 = p[i];
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        size_t need;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            need = 1;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            need = 2;
            if (b0 == 0xE0) lo = 0xA0;
            if (b0 == 0xED) hi = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            need = 3;
            if (b0 == 0xF0) lo = 0x90;
            if (b0 == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + need >= length) return false;
        for (size_t j = 1; j <= need; ++j) {
            const unsigned char b = p[i + j];
            if (b < (j == 1 ? lo : 0x80) || b > (j == 1 ? hi : 0xBF)) return false;
        }
        i += need + 1;
    }
    return true;
}

void AppendUtf16AsUtf8(const char16_t* data, size_t length, std::string& out) {
    if (length == 0) return;
    const size_t base = out.size();
    out.resize(base + length * 3);
    char* dst = out.data() + base;
    size_t o = 0;
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = data[i];
        if (c < 0x80) {
            dst[o++] = static_cast<char>(c);
            continue;
        }
        if (c < 0x800) {
            dst[o++] = static_cast<char>(0xC0 | (c >> 6));
            dst[o++] = static_cast<char>(0x80 | (c & 0x3F));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && data[i + 1] >= 0xDC00 &&
            data[i + 1] <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (data[i + 1] - 0xDC00);
            ++i;
            dst[o++] = static_cast<char>(0xF0 | (cp >> 18));
            dst[o++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            dst[o++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            dst[o++] = static_cast<char>(0x80 | (cp & 0x3F));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;
        dst[o++] = static_cast<char>(0xE0 | (c >> 12));
        dst[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        dst[o++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    out.resize(base + o);
}

std::string Utf16ToUtf8(const char16_t* data, size_t length) {
    std::string out;
    AppendUtf16AsUtf8(data, length, out);
    return out;
}

}  // namespace platform
