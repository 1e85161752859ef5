#include <gtest/gtest.h>

#include <random>
#include <string>

#include "filter/TextSearch.h"
#include "support/TestPaths.h"

namespace {

using text_search::CFoldedNeedle;

std::u16string LowerAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    return text;
}

TEST(TextSearchTest, Cases) {
    struct Case {
        std::u16string text;
        std::u16string needle;  // lower-case
        bool found;
    };
    const Case cases[] = {
        {u"", u"", true},
        {u"abc", u"", true},
        {u"", u"a", false},
        {u"ABCD", u"abc", true},
        {u"xAbCx", u"abc", true},
        {u"ab", u"abc", false},
        {u"a b", u" ", true},
        {u"@", u"`", false},  // 0x40 | 0x20 is 0x60, but neither is a letter
        {u"[", u"{", false},
        {u"Á", u"á", false},  // only ASCII letters fold
        {u"ＡＢＣ", u"ａｂｃ", false},
        {u"ＡＢＣ", u"ＡＢＣ", true},
        {u"東京駅前", u"駅", true},
        {u"0123456789abcdefABCDEF", u"fab", true},
        {u"0123456789abcdefABCDEF", u"cba", false},
        {u"0123456789abcdefABCDEF", u"efa", true},
        {u"0123456789abcdefABCDEF", u"def", true},
        // Long enough for whole blocks and an overlapping last block.
        {std::u16string(40, u'x') + u"NeeDLE", u"needle", true},
        {std::u16string(41, u'x') + u"NeeDLE" + std::u16string(3, u'y'), u"needle", true},
        {u"needlE" + std::u16string(60, u'x'), u"needle", true},
        {std::u16string(60, u'n') + u"eedl", u"needle", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CFoldedNeedle(c.needle).FoundIn(c.text), c.found)
            << U8(c.text) << " / " << U8(c.needle);
        EXPECT_EQ(text_search::ContainsFolded(c.text, c.needle), c.found) << U8(c.text);
    }
}

// Random texts of every length around the block size, against lower-casing and find.
TEST(TextSearchTest, AgreesWithPlainFindOnRandomTexts) {
    std::mt19937 random(99);
    const std::u16string alphabet = u"aAbB@`[{zZ1 Á";
    auto make = [&](size_t length) {
        std::u16string text;
        for (size_t i = 0; i < length; ++i)
            text += alphabet[random() % 4 == 0 ? random() % alphabet.size() : random() % 4];
        return text;
    };
    int found = 0;
    for (int i = 0; i < 60000; ++i) {
        std::u16string text = make(random() % 70);
        std::u16string needle = LowerAscii(make(1 + random() % 5));
        bool expected = LowerAscii(text).find(needle) != std::u16string::npos;
        found += expected;
        ASSERT_EQ(CFoldedNeedle(needle).FoundIn(text), expected) << U8(text) << " / " << U8(needle);
    }
    EXPECT_GT(found, 6000);
    EXPECT_LT(found, 54000);
}

TEST(TextSearchTest, FindUnitAndPairGiveTheFirstPosition) {
    std::mt19937 random(5);
    for (int i = 0; i < 20000; ++i) {
        std::u16string text;
        size_t length = 1 + random() % 50;
        for (size_t k = 0; k < length; ++k) text += u"aAbx"[random() % 4];
        size_t from = random() % length;
        size_t gap = random() % 4;
        if (length <= gap) continue;
        size_t last = length - 1 - gap;
        if (from > last) continue;
        size_t unit = text_search::kNotFound;
        size_t pair = text_search::kNotFound;
        for (size_t q = last + 1; q-- > from;) {
            if ((text[q] | 0x20) == u'a') unit = q;
            if ((text[q] | 0x20) == u'a' && text[q + gap] == u'b') pair = q;
        }
        ASSERT_EQ(text_search::FindUnit(text.data(), from, last, u'a', 0x20), unit) << U8(text);
        ASSERT_EQ(text_search::FindPair(text.data(), from, last, u'a', 0x20, gap, u'b', 0), pair)
            << U8(text) << " gap " << gap;
    }
}

}  // namespace
