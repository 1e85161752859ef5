#pragma once

#include <cstdint>
#include <string>

// Character classes and number conversions over UTF-16 code units, with the behaviour
// the Windows C runtime has, independent of the process locale.
namespace platform {

// Space characters: TAB, LF, VT, FF, CR, space, U+0085, U+00A0, U+1680, U+2000..U+200A,
// U+2028, U+2029, U+202F, U+205F and the ideographic space U+3000.
bool IsWideSpace(char16_t c);
// Unicode decimal digits (general category Nd) of the BMP, e.g. U+0660..U+0669,
// U+FF10..U+FF19 as well as '0'..'9'.
bool IsWideDigit(char16_t c);
// The numeric value of a character for which IsWideDigit is true; -1 otherwise.
int WideDigitValue(char16_t c);
// Letters: ASCII letters and every character of a letter category above U+007F.
bool IsWideAlpha(char16_t c);

// Reads a number the way wcstod does: optional leading space, sign, digits with an
// optional fraction and exponent, "inf"/"infinity"/"nan" (ASCII, any case), or a hex
// float "0x...". Returns the count of code units consumed (0 when nothing parsed).
size_t WideToDouble(const char16_t* text, size_t length, double& value);

// Reads a decimal integer the way wcstol does: optional leading space and sign, digits up
// to the first other character; 0 when there are none; saturates at the 32-bit limits.
int WideToInt32(const std::u16string& text);

// Signed decimal without grouping: -12345.
std::u16string FormatDecimal(int64_t value);

// printf("%.15g") of a double, as wide text.
std::u16string FormatDouble15g(double value);

}  // namespace platform
