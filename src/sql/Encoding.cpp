#include "sql/Encoding.h"

#include <iterator>
#include <string_view>

#include "platform/CodePage.h"
#include "platform/Utf8.h"

namespace {

struct EncodingRow {
    std::string_view name;  // normalised
    int codePage;
};

// Looked up in this order; the first equal name wins.
constexpr EncodingRow kEncodings[] = {
    {"UTF8", 65001},       {"UNICODE", 65001}, {"SQLASCII", 65001},   {"SJIS", 932},
    {"SHIFTJIS", 932},     {"MSKANJI", 932},   {"WIN932", 932},       {"WINDOWS932", 932},
    {"SHIFTJIS2004", 932}, {"EUCJP", 20932},   {"EUCJIS2004", 20932}, {"EUCCN", 936},
    {"GBK", 936},          {"WIN936", 936},    {"GB18030", 54936},    {"EUCKR", 949},
    {"UHC", 949},          {"WIN949", 949},    {"EUCTW", 950},        {"BIG5", 950},
    {"WIN950", 950},       {"LATIN1", 28591},  {"ISO88591", 28591},   {"LATIN2", 28592},
    {"LATIN9", 28605},     {"WIN1250", 1250},  {"WIN1251", 1251},     {"WIN1252", 1252},
    {"WIN1253", 1253},     {"WIN1254", 1254},  {"WIN1255", 1255},     {"WIN1256", 1256},
    {"WIN1257", 1257},     {"WIN1258", 1258},  {"WIN866", 866},       {"WIN874", 874},
    {"KOI8R", 20866},      {"KOI8U", 21866},
};

}  // namespace

int CodePageFromEncoding(const std::u16string& name) {
    std::string normalised;
    normalised.reserve(name.size());
    for (char16_t c : name) {
        if (c == u' ' || c == u'-' || c == u'_') continue;
        // Every name in the table is ASCII, so any other character rules out a match.
        if (c >= 0x80) return platform::kCodePageUtf8;
        if (c >= u'a' && c <= u'z') c -= u'a' - u'A';
        normalised.push_back(static_cast<char>(c));
    }
    for (const EncodingRow& row : kEncodings) {
        if (row.name == normalised) return row.codePage;
    }
    return platform::kCodePageUtf8;
}

void AppendWide(const char* data, size_t length, int codePage, std::u16string& out) {
    if (length == 0) return;
    if (codePage == platform::kCodePageUtf8) {
        platform::AppendUtf8AsUtf16(data, length, out);
        return;
    }
    if (platform::DecodeCodePage(codePage, data, length, out)) return;
    // An unusable code page still shows every byte, as one character each.
    if (codePage != platform::kCodePageWindows1252) {
        platform::DecodeCodePage(platform::kCodePageWindows1252, data, length, out);
    }
}

std::u16string ToWide(const char* data, size_t length, int codePage) {
    std::u16string out;
    AppendWide(data, length, codePage, out);
    return out;
}

std::string FromWide(const std::u16string& text, int codePage) {
    std::string out;
    if (text.empty()) return out;
    if (!platform::EncodeCodePage(codePage, text.data(), text.size(), out)) return {};
    return out;
}

std::u16string Utf8ToWide(const std::string& bytes) {
    return platform::Utf8ToUtf16(bytes.data(), bytes.size());
}

std::string WideToUtf8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text.data(), text.size());
}
