#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "sql/Encoding.h"

namespace {

TEST(EncodingTest, CodePageFromEncodingName) {
    const struct {
        std::u16string name;
        int codePage;
    } cases[] = {
        {u"UTF8", 65001},
        {u"utf8", 65001},
        {u"Utf-8", 65001},
        {u"UTF_8", 65001},
        {u" u t f - 8 ", 65001},
        {u"UNICODE", 65001},
        {u"SQL_ASCII", 65001},
        {u"MULE_INTERNAL", 65001},
        {u"", 65001},
        {u"ＵＴＦ８", 65001},
        {u"LATIN3", 65001},
        {u"SJIS2", 65001},
        {u"SJIS", 932},
        {u"sjis", 932},
        {u"Shift_JIS", 932},
        {u"MS_Kanji", 932},
        {u"WIN932", 932},
        {u"Windows-932", 932},
        {u"SHIFT_JIS_2004", 932},
        {u"euc-jp", 20932},
        {u"EUC_JIS_2004", 20932},
        {u"EUC_CN", 936},
        {u"GBK", 936},
        {u"WIN936", 936},
        {u"GB18030", 54936},
        {u"EUC_KR", 949},
        {u"UHC", 949},
        {u"WIN949", 949},
        {u"EUC_TW", 950},
        {u"BIG5", 950},
        {u"WIN950", 950},
        {u"LATIN1", 28591},
        {u"ISO_8859_1", 28591},
        {u"LATIN2", 28592},
        {u"LATIN9", 28605},
        {u"WIN1250", 1250},
        {u"WIN1251", 1251},
        {u"win1252", 1252},
        {u"WIN1258", 1258},
        {u"WIN866", 866},
        {u"WIN874", 874},
        {u"KOI8R", 20866},
        {u"KOI8-U", 21866},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodePageFromEncoding(c.name), c.codePage)
            << std::string(c.name.begin(), c.name.end());
    }
}

TEST(EncodingTest, ShiftJisWithBackslashTrailBytesRoundTrips) {
    const std::string bytes = "\x83\x5C\x81\x5B\x83\x58\x95\x5C\x8E\xA6\x89\xC2\x94\x5C\\";
    const std::u16string text = ToWide(bytes, 932);
    EXPECT_EQ(text, u"ソース表示可能\\");
    EXPECT_EQ(FromWide(text, 932), bytes);
}

TEST(EncodingTest, UnknownCodePageDecodesAsWindows1252) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (int codePage : {12345, 0, -1, 50220}) {
        const std::u16string text = ToWide(all, codePage);
        ASSERT_EQ(text.size(), 256u) << codePage;
        EXPECT_EQ(text[0x41], u'A');
        EXPECT_EQ(text[0x80], u'€');
        EXPECT_EQ(text[0x81], u'\x0081');
        EXPECT_EQ(text[0xFC], u'ü');
    }
}

TEST(EncodingTest, ConversionsAtTheEdges) {
    EXPECT_EQ(ToWide("", 0, 932), u"");
    EXPECT_EQ(ToWide(nullptr, 0, 12345), u"");
    EXPECT_EQ(Utf8ToWide("ok\xFF"), u"ok\xFFFD");
    EXPECT_EQ(ToWide("\x80\x82\xA0"
                     "ok\x82",
                     932),
              u"\xFFFDあok\xFFFD");
    EXPECT_EQ(FromWide(u"", 932), "");
    EXPECT_EQ(FromWide(u"café😀", 932), "caf??");
    EXPECT_EQ(FromWide(u"café", 1252), "caf\xE9");
    EXPECT_EQ(FromWide(u"café", 12345), "");
    EXPECT_EQ(FromWide(u"abc", 0), "");
    EXPECT_EQ(WideToUtf8(u"日本😀\xD800"), "\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_EQ(FromWide(u"é", 65001), "\xC3\xA9");
    EXPECT_EQ(Utf8ToWide("\xE6\x97\xA5\xC3\xA9"), u"日é");
}

TEST(EncodingTest, AppendWideAddsToTheBuffer) {
    std::u16string row;
    AppendWide("id", 2, 65001, row);
    AppendWide("\x95\x5C", 2, 932, row);
    AppendWide("\x80", 1, 12345, row);
    AppendWide("", 0, 12345, row);
    EXPECT_EQ(row, u"id表€");
}

TEST(EncodingTest, ThreadsConvertConcurrently) {
    const std::string sjis =
        "\x83\x5C\x95\x5C\x94\x5C\x82\xA0"
        "abc";
    const std::u16string text = u"ソ表能あabc";
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                failures[t] += ToWide(sjis, 932) != text;
                failures[t] += FromWide(text, 932) != sjis;
                failures[t] += ToWide("\xA4\xA2\x8E\xB1", 20932) != u"あｱ";
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
