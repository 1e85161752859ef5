#pragma once

#include <cstddef>
#include <string>

// PostgreSQL encoding names to Windows code pages, and conversion of dump text.

// Normalises the name (drops spaces, hyphens and underscores, upper-cases ASCII) and
// looks it up; unknown names give 65001.
int CodePageFromEncoding(const std::u16string& name);

// Decodes bytes in a code page. A code page that cannot be used decodes as
// Windows-1252, so no byte is lost silently.
std::u16string ToWide(const char* data, size_t length, int codePage);
inline std::u16string ToWide(const std::string& bytes, int codePage) {
    return ToWide(bytes.data(), bytes.size(), codePage);
}
// Appends the decoded bytes to out (the row store decodes many cells into one buffer).
void AppendWide(const char* data, size_t length, int codePage, std::u16string& out);

// Encodes text; characters the code page lacks become "?". An unusable code page
// gives empty text.
std::string FromWide(const std::u16string& text, int codePage);

std::u16string Utf8ToWide(const std::string& bytes);
std::string WideToUtf8(const std::u16string& text);
