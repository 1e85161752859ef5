#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "platform/CodePage.h"

namespace platform {
namespace {

std::u16string Decode(int codePage, const std::string& bytes) {
    std::u16string out;
    EXPECT_TRUE(DecodeCodePage(codePage, bytes.data(), bytes.size(), out)) << codePage;
    return out;
}

std::string Encode(int codePage, const std::u16string& text) {
    std::string out;
    EXPECT_TRUE(EncodeCodePage(codePage, text.data(), text.size(), out)) << codePage;
    return out;
}

TEST(CodePageTest, EveryKnownNameOpensInIconv) {
    for (int cp : {932,  20932, 936,  54936, 949,  950,  28591, 28592, 28605, 1250,  1251,
                   1252, 1253,  1254, 1255,  1256, 1257, 1258,  866,   874,   20866, 21866}) {
        const char* name = IconvNameOfCodePage(cp);
        ASSERT_NE(name, nullptr) << cp;
        iconv_t cd = iconv_open("UTF-16LE", name);
        EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    EXPECT_EQ(IconvNameOfCodePage(12345), nullptr);
}

TEST(CodePageTest, SamplesDecodeAndRoundTrip) {
    const struct {
        int codePage;
        std::string bytes;
        std::u16string text;
    } cases[] = {
        // Shift_JIS second bytes 0x5C must not be taken for a backslash.
        {932, "\x83\x5C\x95\x5C\x94\x5C\\~", u"ソ表能\\~"},
        {932, "\xB1\xDD\x87\x40\xFA\x40\x81\x60", u"ｱﾝ①ⅰ～"},
        {20932, "\xA4\xA2\xB4\xC1\xA1\xC1", u"あ漢～"},
        {20932, "\x8E\xB1\x8E\xDD\x8F\xB0\xA1", u"ｱﾝ丂"},  // half-width kana, JIS X 0212
        {936, "\xC4\xE3\xBA\xC3", u"你好"},
        {54936,
         "\x95\x32\x82\x36"
         "a\x81\x30\x81\x30",
         u"\xD840\xDC00"
         u"a\x0080"},
        {949, "\xC7\xD1\xB1\xDB", u"한글"},
        {950, "\xA4\xA4\xA4\xE5", u"中文"},
        {28591, "\xE9\xFF", u"éÿ"},
        {28592, "\xB1\xE6", u"ąć"},
        {28605, "\xA4\xBD", u"€œ"},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", u"Привет"},
        {1253, "\xC1\xE2", u"Αβ"},
        {866, "\x8F\xE0", u"Пр"},
        {874, "\xA1\xD2", u"กา"},
        {20866, "\xF0\xD2\xC9\xD7\xC5\xD4", u"Привет"},
        {21866, "\xA4\xB4", u"єЄ"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.codePage, c.bytes), c.text) << c.codePage;
        EXPECT_EQ(Encode(c.codePage, c.text), c.bytes) << c.codePage;
    }
}

TEST(CodePageTest, Windows1252KeepsEveryByteAndAgreesWithIconvWhereIconvDefinesIt) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::u16string text = Decode(1252, all);
    ASSERT_EQ(text.size(), 256u);
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(text[b], b);
    EXPECT_EQ(Encode(1252, text), all);

    iconv_t cd = iconv_open("UTF-16LE", "CP1252");
    for (int b = 0; b < 256; ++b) {
        char16_t unit = 0;
        char* in = &all[b];
        size_t inLeft = 1;
        char* dst = reinterpret_cast<char*>(&unit);
        size_t dstLeft = 2;
        if (iconv(cd, &in, &inLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) continue;
        EXPECT_EQ(text[b], unit) << b;
    }
    iconv_close(cd);
    // A surrogate pair is one missing character, a lone surrogate one as well.
    EXPECT_EQ(Encode(1252, u"aあ\x0080😀|\xD800"), "a???|?");
}

TEST(CodePageTest, InvalidBytesBecomeReplacementCharacters) {
    const struct {
        int codePage;
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {932, "a\x80z", u"a\xFFFDz"},
        {932, "\x82\xA0\x82", u"あ\xFFFD"},  // truncated lead byte at the end
        {932, "\x82 x", u"\xFFFD x"},        // a bad trail byte is read again
        {54936, "\x95\x32\x82", u"\xFFFD"},
        {20932, "\x8F\xB0", u"\xFFFD"},
        {949, "\xC7\xD1\xC7", u"한\xFFFD"},
        // glibc's CP1258 holds a letter back to compose it with a following accent; it must
        // neither be lost at the end nor land behind a replacement.
        {1258, "Viet", u"Viet"},
        {1258, "a\xEC", u"á"},
        {1258,
         "a\x81"
         "b",
         u"a\xFFFD"
         u"b"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.codePage, c.bytes), c.text) << c.bytes;
}

TEST(CodePageTest, MissingCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Encode(932, u"aéb"), "a?b");
    EXPECT_EQ(Encode(932, u"😀あ"), "?\x82\xA0");
    EXPECT_EQ(Encode(932, u"\xD800x\xDC00|\xD800"), "?x?|?");
    EXPECT_EQ(Encode(20866, u"Жé"), "\xF6?");
    EXPECT_EQ(Encode(28591, u"€"), "?");
}

TEST(CodePageTest, OutputLongerThanTheFirstGuessGrows) {
    // U+0080 takes four bytes in GB18030, twice what the encoder sets aside at first.
    const std::u16string text(5000, u'\x0080');
    const std::string bytes = Encode(54936, text);
    ASSERT_EQ(bytes.size(), 20000u);
    EXPECT_EQ(bytes.substr(19996), std::string("\x81\x30\x81\x30", 4));
    EXPECT_EQ(Decode(54936, bytes), text);
}

TEST(CodePageTest, AppendsToOutputAndLeavesItAloneForAnUnusableCodePage) {
    std::u16string text = u"<";
    ASSERT_TRUE(DecodeCodePage(932, "\x82\xA0>", 3, text));
    EXPECT_EQ(text, u"<あ>");
    EXPECT_FALSE(DecodeCodePage(12345, "abc", 3, text));
    EXPECT_FALSE(DecodeCodePage(0, "", 0, text));
    EXPECT_EQ(text, u"<あ>");
    std::string bytes = "<";
    ASSERT_TRUE(EncodeCodePage(932, u"あ>", 2, bytes));
    EXPECT_EQ(bytes, "<\x82\xA0>");
    EXPECT_FALSE(EncodeCodePage(12345, u"abc", 3, bytes));
    EXPECT_EQ(bytes, "<\x82\xA0>");
}

}  // namespace
}  // namespace platform
