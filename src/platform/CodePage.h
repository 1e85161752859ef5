#pragma once

#include <cstddef>
#include <string>

// Conversion between bytes in a Windows code page and UTF-16. Code pages keep their
// Windows numbers; 65001 goes through the own UTF-8 codec, 1252 through an own table (every
// byte is one character, as on Windows), every other one through iconv with descriptors
// cached per thread, code page and direction.
namespace platform {

constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageWindows1252 = 1252;

// The iconv name for a code page, or nullptr when the program does not know it.
const char* IconvNameOfCodePage(int codePage);

// Appends the decoded text to out. Invalid bytes become U+FFFD. Returns false (and
// leaves out as it was) when the code page cannot be used at all.
bool DecodeCodePage(int codePage, const char* data, size_t length, std::u16string& out);

// Encodes text; characters the code page lacks become its default character "?".
// Returns false (and leaves out as it was) when the code page cannot be used at all.
bool EncodeCodePage(int codePage, const char16_t* data, size_t length, std::string& out);

}  // namespace platform
