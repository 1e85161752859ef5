#include <gtest/gtest.h>

#include <string>

#include "platform/AsciiCase.h"

namespace platform {
namespace {

// Every code unit and every byte: only A-Z and a-z change, and they swap exactly.
TEST(AsciiCaseTest, OnlyAsciiLettersChange) {
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        const char16_t c = static_cast<char16_t>(u);
        const bool upper = u >= 'A' && u <= 'Z';
        const bool lower = u >= 'a' && u <= 'z';
        ASSERT_EQ(ToUpperAscii(c), lower ? c - 32 : c) << std::hex << u;
        ASSERT_EQ(ToLowerAscii(c), upper ? c + 32 : c) << std::hex << u;
    }
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        ASSERT_EQ(ToUpperAscii(c), b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : c) << b;
    }
}

TEST(AsciiCaseTest, TextAndComparison) {
    // Shift_JIS bytes (0x83 0x5C) and UTF-8 bytes stay as they are.
    EXPECT_EQ(ToUpperAscii(std::string("abc-xyz_\x83\x5c\xc3\xa9{}`@")),
              "ABC-XYZ_\x83\x5c\xc3\xa9{}`@");
    EXPECT_EQ(ToUpperAscii(std::u16string(u"tab é ｔａｂ ß")), u"TAB é ｔａｂ ß");
    EXPECT_EQ(ToLowerAscii(std::u16string(u"TAB É ＴＡＢ")), u"tab É ＴＡＢ");

    struct Case {
        std::u16string a, b;
        bool equal;
    };
    const Case cases[] = {
        {u"Price", u"pRICE", true}, {u"", u"", true},    {u"a", u"", false},
        {u"ab", u"abc", false},     {u"é", u"É", false}, {u"Ｔ", u"ｔ", false},
        {u"@[`{", u"@[`{", true},   {u"@", u"`", false}, {u"列a", u"列A", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EqualsIgnoringAsciiCase(c.a, c.b), c.equal);
        EXPECT_EQ(EqualsIgnoringAsciiCase(c.b, c.a), c.equal);
    }
}

}  // namespace
}  // namespace platform
