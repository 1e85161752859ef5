#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>

#include "platform/AsciiCase.h"
#include "platform/WideChar.h"

namespace platform {
namespace {

std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

TEST(WideCharTest, Spaces) {
    for (char16_t c : std::u16string(u"\t\n\v\f\r \x0085\x00A0\x1680\x2000\x200A\x2028\x2029"
                                     u"\x202F\x205F\x3000")) {
        EXPECT_TRUE(IsWideSpace(c)) << std::hex << int(c);
    }
    for (char16_t c : {0x00, 0x08, 0x0E, 0x1F, 0x21, 0x84, 0x86, 0x200B, 0x2027, 0x3001, 0xFEFF}) {
        EXPECT_FALSE(IsWideSpace(c)) << std::hex << int(c);
    }
}

TEST(WideCharTest, DecimalDigitsOfEveryBmpScript) {
    const char16_t zeros[] = {
        0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6,
        0x0C66, 0x0CE6, 0x0D66, 0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0,
        0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50, 0x1BB0, 0x1C40, 0x1C50, 0xA620,
        0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
    };
    for (char16_t zero : zeros) {
        for (int v = 0; v < 10; ++v)
            EXPECT_EQ(WideDigitValue(zero + v), v) << std::hex << int(zero);
        EXPECT_FALSE(IsWideDigit(zero + 10)) << std::hex << int(zero);
        EXPECT_FALSE(IsWideDigit(zero - 1)) << std::hex << int(zero);
    }
    // Superscripts, circled and ideographic numbers are not decimal digits.
    for (char16_t c : {0x00B2, 0x2070, 0x2460, 0x3007, 0x4E00, 0xFFFF}) {
        EXPECT_EQ(WideDigitValue(c), -1) << std::hex << int(c);
    }
    int count = 0;
    for (char32_t c = 0; c <= 0xFFFF; ++c) count += IsWideDigit(static_cast<char16_t>(c));
    EXPECT_EQ(count, 10 * static_cast<int>(std::size(zeros)));
}

TEST(WideCharTest, LettersAndCaseMapping) {
    for (char16_t c : std::u16string(
             u"azAZªµºÀÖØöøÿĀſɏΑωЖжѐאתبي一中鿿ぁあゖァヺーー々"
             u"ｦｱﾝﾟｰㄱᄀ가힣ＡＺａｚ")) {
        EXPECT_TRUE(IsWideAlpha(c)) << std::hex << int(c);
    }
    for (char16_t c : std::u16string(u"09_@[`{×÷\x00A0\x0300、。・「゛゠\x3000０￥｡\xFFFD①")) {
        EXPECT_FALSE(IsWideAlpha(c)) << std::hex << int(c);
    }
    EXPECT_EQ(ToUpperAscii(u'a'), u'A');
    EXPECT_EQ(ToUpperAscii(u'z'), u'Z');
    EXPECT_EQ(ToLowerAscii(u'A'), u'a');
    EXPECT_EQ(ToLowerAscii(u'Z'), u'z');
    for (char16_t c : std::u16string(u"@[`{éÉｚＺßı")) {
        EXPECT_EQ(ToUpperAscii(c), c);
        EXPECT_EQ(ToLowerAscii(c), c);
    }
}

TEST(WideCharTest, WideToDoubleReadsLikeWcstod) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::u16string text;
        size_t consumed;
        double value;
    } cases[] = {
        {u"12", 2, 12},
        {u"  12abc", 4, 12},
        {u"\x3000\t-1.5e3", 8, -1500},
        {u"1.2.3", 3, 1.2},
        {u"2e", 1, 2},
        {u"2e+", 1, 2},
        {u"2E+5x", 4, 2e5},
        {u".5", 2, 0.5},
        {u"5.", 2, 5},
        {u"+.25e-1", 7, 0.025},
        {u".", 0, 0},
        {u"-", 0, 0},
        {u" ", 0, 0},
        {u"", 0, 0},
        {u"abc", 0, 0},
        {u"+.e1", 0, 0},
        {u"1,5", 1, 1},
        {u"１２", 0, 0},
        {u"0x1p4", 5, 16},
        {u"0X1P-1", 6, 0.5},
        {u"0x.8", 4, 0.5},
        {u"-0xA", 4, -10},
        {u"0x1p", 3, 1},
        {u"0x", 1, 0},
        {u"0xg", 1, 0},
        {u"inf", 3, inf},
        {u"-Infinity!", 9, -inf},
        {u"INFINIT", 3, inf},
        {u"1e400", 5, inf},
        {u"1e-400", 6, 0},
        // Correct rounding, including a tie to even.
        {u"0.1", 3, 0.1},
        {u"9007199254740993", 16, 9007199254740992.0},
        {u"1.7976931348623157e308", 22, DBL_MAX},
    };
    for (const auto& c : cases) {
        double value = -99;
        EXPECT_EQ(WideToDouble(c.text.data(), c.text.size(), value), c.consumed) << Narrow(c.text);
        EXPECT_EQ(value, c.value) << Narrow(c.text);
    }
    const struct {
        std::u16string text;
        size_t consumed;
    } nans[] = {{u"nan", 3}, {u"NaN(1_a)x", 8}, {u"nan(", 3}, {u"-nan", 4}, {u"nan(a b)", 3}};
    for (const auto& c : nans) {
        double value = 0;
        EXPECT_EQ(WideToDouble(c.text.data(), c.text.size(), value), c.consumed) << Narrow(c.text);
        EXPECT_TRUE(std::isnan(value)) << Narrow(c.text);
    }
    // The text need not end where the number does.
    double value = 0;
    EXPECT_EQ(WideToDouble(u"123e5", 4, value), 3u);
    EXPECT_EQ(value, 123);
}

TEST(WideCharTest, WideToInt32ReadsLikeWcstolAndSaturates) {
    const int max = std::numeric_limits<int32_t>::max();
    const int min = std::numeric_limits<int32_t>::min();
    const struct {
        std::u16string text;
        int value;
    } cases[] = {
        {u"42", 42},
        {u" \x3000-17x", -17},
        {u"+007", 7},
        {u"", 0},
        {u"- 5", 0},
        {u"0x10", 0},
        {u"１２", 12},
        {u"٣4", 34},
        {u"2147483647", max},
        {u"2147483648", max},
        {u"-2147483648", min},
        {u"-2147483649", min},
        {u"99999999999999999999999", max},
        {u"-99999999999999999999999", min},
    };
    for (const auto& c : cases) EXPECT_EQ(WideToInt32(c.text), c.value) << Narrow(c.text);
}

TEST(WideCharTest, FormatDouble15g) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::u16string text;
    } cases[] = {
        {0.1 + 0.2, u"0.3"},
        {2.5, u"2.5"},
        {1e15, u"1e+15"},
        {1e-5, u"1e-05"},
        {-0.0, u"-0"},
        {inf, u"inf"},
        {-inf, u"-inf"},
        {123456789012345678.0, u"1.23456789012346e+17"},
        {std::numeric_limits<double>::quiet_NaN(), u"nan"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDouble15g(c.value), c.text);
}

}  // namespace
}  // namespace platform
