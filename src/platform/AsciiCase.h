#pragma once

#include <string>
#include <string_view>

// Case mapping that changes the ASCII letters A-Z and a-z only, whatever the locale: SQL
// keywords, setting names, column names and the WHERE language all fold case this way.
// One set for UTF-16 text and characters, one for bytes (dump text in any code page,
// where a byte from 0x80 on must never change). Inline: the filters call them per
// character.
namespace platform {

constexpr char16_t ToUpperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
}

constexpr char16_t ToLowerAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
}

constexpr char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

inline std::u16string ToUpperAscii(std::u16string text) {
    for (char16_t& c : text) c = ToUpperAscii(c);
    return text;
}

inline std::u16string ToLowerAscii(std::u16string text) {
    for (char16_t& c : text) c = ToLowerAscii(c);
    return text;
}

inline std::string ToUpperAscii(std::string text) {
    for (char& c : text) c = ToUpperAscii(c);
    return text;
}

inline bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
    }
    return true;
}

}  // namespace platform
