#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "platform/Utf8.h"

namespace platform {
namespace {

TEST(Utf8Test, DecodesWithOneReplacementPerMaximalInvalidSubpart) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"abc", u"abc"},
        {"\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", u"éあ😀"},
        {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
        {"a\x80", u"a\xFFFD"},
        {"\xC0\x80", u"\xFFFD\xFFFD"},                      // overlong
        {"\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},  // above U+10FFFF
        {"\xF5\xFE\xFF", u"\xFFFD\xFFFD\xFFFD"},
        {"x\xF0\x9F\x98", u"x\xFFFD"},  // truncated at the end
        {"\xE3\x81"
         "A\xE3\xE3\x81\x82",
         u"\xFFFD"
         u"A\xFFFDあ"},
        // The example the Unicode standard gives for maximal subparts.
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         u"a\xFFFD\xFFFD\xFFFD"
         u"b\xFFFD"
         u"c\xFFFD\xFFFD"
         u"d"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.bytes;
}

TEST(Utf8Test, NonAsciiAtEveryPositionOfTheAsciiFastPath) {
    // The fast path reads eight bytes at a time; a non-ASCII byte anywhere must stop it.
    for (size_t pos = 0; pos < 24; ++pos) {
        std::string bytes(24, 'a');
        std::u16string text(24, u'a');
        bytes[pos] = '\x80';
        text[pos] = 0xFFFD;
        EXPECT_EQ(Utf8ToUtf16(bytes), text) << "at " << pos;
    }
}

TEST(Utf8Test, AppendKeepsWhatIsThereAndLoneSurrogatesEncodeAsReplacement) {
    std::u16string text = u"前";
    AppendUtf8AsUtf16("\xE5\xBE\x8C!", 4, text);
    EXPECT_EQ(text, u"前後!");
    std::string bytes = "x";
    AppendUtf16AsUtf8(
        u"\xDC00\xD800\xD800\xDC00"
        u"a\xD800",
        6, bytes);
    EXPECT_EQ(bytes,
              "x\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x90\x80\x80"
              "a\xEF\xBF\xBD");
}

TEST(Utf8Test, EveryScalarValueMatchesIconvAndRoundTrips) {
    std::u16string all;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        if (c < 0x10000) {
            all.push_back(static_cast<char16_t>(c));
        } else {
            all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    // glibc's converter is the reference.
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    std::string expected(all.size() * 4, '\0');
    char* in = reinterpret_cast<char*>(all.data());
    size_t inLeft = all.size() * 2;
    char* dst = expected.data();
    size_t dstLeft = expected.size();
    ASSERT_NE(iconv(cd, &in, &inLeft, &dst, &dstLeft), static_cast<size_t>(-1));
    iconv_close(cd);
    expected.resize(expected.size() - dstLeft);

    const std::string utf8 = Utf16ToUtf8(all);
    ASSERT_EQ(utf8, expected);
    EXPECT_EQ(Utf8ToUtf16(utf8), all);
}

}  // namespace
}  // namespace platform

TEST(Utf8Test, ValidityAgreesWithRoundTrip) {
    // Well-formed exactly when decoding and encoding again gives the same bytes.
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    };
    const unsigned char interesting[] = {0x00, 0x41, 0x7F, 0x80, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0,
                                         0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xA0, 0x9F, 0x90};
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        const size_t length = next() % 12;
        for (size_t i = 0; i < length; ++i) {
            bytes += static_cast<char>(next() % 3 == 0 ? next() % 256
                                                       : interesting[next() % sizeof interesting]);
        }
        const bool roundTrips = platform::Utf16ToUtf8(platform::Utf8ToUtf16(bytes)) == bytes;
        ASSERT_EQ(platform::IsValidUtf8(bytes.data(), bytes.size()), roundTrips) << round;
    }
    const std::string text = "plain ascii run of more than eight bytes, then 日本語 and 😀";
    EXPECT_TRUE(platform::IsValidUtf8(text.data(), text.size()));
    EXPECT_FALSE(platform::IsValidUtf8("abcdefgh\xE6\x97", 10));
}
