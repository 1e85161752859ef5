#pragma once

#include <cstdint>
#include <string>

#include "platform/Paths.h"

// Text helpers shared by the main window, its dialogs and the command line.

// 1234567 -> "1,234,567"
std::u16string FormatThousands(uint64_t n);
// Lower-cases A to Z only.
std::u16string ToLowerAscii(const std::u16string& text);
