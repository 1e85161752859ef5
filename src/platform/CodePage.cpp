#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Utf8.h"

namespace platform {

namespace {

// iconv writes "UTF-16LE" straight into char16_t buffers.
static_assert(std::endian::native == std::endian::little, "UTF-16LE must be the native order");

constexpr char16_t kReplacement = 0xFFFD;
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Windows-1252 bytes 0x80..0x9F. Windows passes the five bytes it leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) through as C1 controls, where iconv would reject them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

void DecodeWindows1252(const char* data, size_t length, std::u16string& out) {
    const size_t base = out.size();
    out.resize(base + length);
    char16_t* dst = out.data() + base;
    for (size_t i = 0; i < length; ++i) {
        auto b = static_cast<unsigned char>(data[i]);
        dst[i] = (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : b;
    }
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Code units that make up the character at data[i]: a valid surrogate pair is one character.
size_t CharLength(const char16_t* data, size_t length, size_t i) {
    return (IsHighSurrogate(data[i]) && i + 1 < length && IsLowSurrogate(data[i + 1])) ? 2 : 1;
}

void EncodeWindows1252(const char16_t* data, size_t length, std::string& out) {
    out.reserve(out.size() + length);
    for (size_t i = 0; i < length; i += CharLength(data, length, i)) {
        char16_t c = data[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const char16_t* end = std::end(kWindows1252High);
        const char16_t* it = std::find(std::begin(kWindows1252High), end, c);
        out.push_back(it != end ? static_cast<char>(0x80 + (it - kWindows1252High)) : '?');
    }
}

enum class Direction { kDecode, kEncode };

// The converters this thread has opened, one per code page and direction. A code page that
// iconv refused stays recorded as refused, so it is not tried again for every cell.
class ConverterCache {
public:
    ConverterCache() = default;
    ConverterCache(const ConverterCache&) = delete;
    ConverterCache& operator=(const ConverterCache&) = delete;
    ~ConverterCache() {
        for (const Entry& e : entries_) {
            if (e.cd != kNoConverter) iconv_close(e.cd);
        }
    }

    iconv_t Get(int codePage, Direction direction) {
        for (const Entry& e : entries_) {
            if (e.codePage == codePage && e.direction == direction) return e.cd;
        }
        const char* name = IconvNameOfCodePage(codePage);
        if (name == nullptr) return kNoConverter;
        iconv_t cd = direction == Direction::kDecode ? iconv_open("UTF-16LE", name)
                                                     : iconv_open(name, "UTF-16LE");
        entries_.push_back({codePage, direction, cd});
        return cd;
    }

private:
    struct Entry {
        int codePage;
        Direction direction;
        iconv_t cd;
    };
    std::vector<Entry> entries_;
};

iconv_t Converter(int codePage, Direction direction) {
    thread_local ConverterCache cache;
    return cache.Get(codePage, direction);
}

// Runs one conversion, appending to out. A byte or character that iconv rejects becomes
// `replacement`; skipLength tells how many input bytes the rejected piece at an offset has.
// An incomplete sequence at the end becomes one replacement.
template <typename Str, typename SkipLength>
void RunIconv(iconv_t cd, const char* data, size_t length, size_t initialBytes,
              typename Str::value_type replacement, Str& out, SkipLength skipLength) {
    using Unit = typename Str::value_type;
    const size_t base = out.size();
    size_t used = 0;  // bytes written after base
    out.resize(base + (initialBytes + sizeof(Unit) - 1) / sizeof(Unit));
    auto start = [&] { return reinterpret_cast<char*>(out.data() + base); };
    auto room = [&] { return (out.size() - base) * sizeof(Unit) - used; };
    auto grow = [&] { out.resize(out.size() + std::max<size_t>((out.size() - base) / 2, 16)); };
    // Converters that hold a character back to compose it with a following diacritic
    // (CP1255, CP1258) write it out here.
    auto flush = [&] {
        for (;;) {
            char* dst = start() + used;
            size_t dstLeft = room();
            size_t r = iconv(cd, nullptr, nullptr, &dst, &dstLeft);
            int error = errno;
            used = static_cast<size_t>(dst - start());
            if (r != static_cast<size_t>(-1) || error != E2BIG) return;
            grow();
        }
    };

    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(data);
    size_t inLeft = length;
    while (inLeft > 0) {
        char* dst = start() + used;
        size_t dstLeft = room();
        size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        int error = errno;
        used = static_cast<size_t>(dst - start());
        if (r != static_cast<size_t>(-1)) continue;
        if (error == E2BIG) {
            grow();
            continue;
        }
        // Whatever was held back comes before the replacement.
        flush();
        size_t skip = error == EINVAL ? inLeft : std::min(inLeft, skipLength(in - data));
        in += skip;
        inLeft -= skip;
        if (room() < sizeof(Unit)) grow();
        std::memcpy(start() + used, &replacement, sizeof(Unit));
        used += sizeof(Unit);
    }
    flush();
    out.resize(base + used / sizeof(Unit));
}

}  // namespace

const char* IconvNameOfCodePage(int codePage) {
    struct Name {
        int codePage;
        const char* iconvName;
    };
    static constexpr Name kNames[] = {
        {65001, "UTF-8"},      {932, "CP932"},         {20932, "EUC-JP-MS"}, {936, "CP936"},
        {54936, "GB18030"},    {949, "CP949"},         {950, "CP950"},       {28591, "ISO-8859-1"},
        {28592, "ISO-8859-2"}, {28605, "ISO-8859-15"}, {1250, "CP1250"},     {1251, "CP1251"},
        {1252, "CP1252"},      {1253, "CP1253"},       {1254, "CP1254"},     {1255, "CP1255"},
        {1256, "CP1256"},      {1257, "CP1257"},       {1258, "CP1258"},     {866, "CP866"},
        {874, "CP874"},        {20866, "KOI8-R"},      {21866, "KOI8-U"},
    };
    for (const Name& n : kNames) {
        if (n.codePage == codePage) return n.iconvName;
    }
    return nullptr;
}

bool DecodeCodePage(int codePage, const char* data, size_t length, std::u16string& out) {
    if (codePage == kCodePageUtf8) {
        AppendUtf8AsUtf16(data, length, out);
        return true;
    }
    if (codePage == kCodePageWindows1252) {
        DecodeWindows1252(data, length, out);
        return true;
    }
    iconv_t cd = Converter(codePage, Direction::kDecode);
    if (cd == kNoConverter) return false;
    if (length == 0) return true;
    // A byte rarely yields more than one code unit; four-byte GB18030 yields two.
    RunIconv(cd, data, length, 2 * length + 16, kReplacement, out,
             [](size_t) -> size_t { return 1; });
    return true;
}

bool EncodeCodePage(int codePage, const char16_t* data, size_t length, std::string& out) {
    if (codePage == kCodePageUtf8) {
        AppendUtf16AsUtf8(data, length, out);
        return true;
    }
    if (codePage == kCodePageWindows1252) {
        EncodeWindows1252(data, length, out);
        return true;
    }
    iconv_t cd = Converter(codePage, Direction::kEncode);
    if (cd == kNoConverter) return false;
    if (length == 0) return true;
    // Double-byte code pages need two bytes per code unit; GB18030 may need more.
    RunIconv(cd, reinterpret_cast<const char*>(data), 2 * length, 2 * length + 16, '?', out,
             [&](size_t offset) { return 2 * CharLength(data, length, offset / 2); });
    return true;
}

}  // namespace platform
