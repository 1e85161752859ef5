#pragma once

#include <cstdint>
#include <string>

// Text helpers shared by the main window, its dialogs and the command line.

// 1234567 -> "1,234,567"
std::u16string FormatThousands(uint64_t n);
// The path up to and including its last "\" or "/"; empty when it has neither.
std::u16string DirectoryOf(const std::u16string& path);
// The part after the last "\" or "/"; the whole path when it has neither.
std::u16string FileNameOf(const std::u16string& path);
// Lower-cases A to Z only.
std::u16string ToLowerAscii(const std::u16string& text);
