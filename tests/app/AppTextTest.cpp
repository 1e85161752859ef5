#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/AppText.h"
#include "platform/AsciiCase.h"
#include "support/TestPaths.h"

TEST(AppTextTest, FormatThousandsGroupsByThree) {
    struct Case {
        uint64_t n;
        const char* expected;
    };
    const Case cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1,000"},
        {12345, "12,345"},
        {100000, "100,000"},
        {999999, "999,999"},
        {1000000, "1,000,000"},
        {1234567, "1,234,567"},
        {UINT64_MAX, "18,446,744,073,709,551,615"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(FormatThousands(c.n)), c.expected) << c.n;
    }
}

TEST(AppTextTest, PathSplitsAtEitherSeparator) {
    struct Case {
        const char16_t* path;
        const char* directory;
        const char* fileName;
    };
    const Case cases[] = {
        {u"C:\\dumps\\sales.dump", "C:\\dumps\\", "sales.dump"},
        {u"/home/u/sales.dump", "/home/u/", "sales.dump"},
        {u"/home/u\\mixed/a\\b.sql", "/home/u\\mixed/a\\", "b.sql"},
        {u"dir\\sub/", "dir\\sub/", ""},
        {u"/", "/", ""},
        {u"sales.dump", "", "sales.dump"},
        {u"", "", ""},
        {u"/データ/売上.dump", "/データ/", "売上.dump"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(DirectoryOf(c.path)), c.directory) << U8(c.path);
        EXPECT_EQ(U8(FileNameOf(c.path)), c.fileName) << U8(c.path);
    }
}

TEST(AppTextTest, ToLowerAsciiChangesOnlyAToZ) {
    EXPECT_EQ(U8(platform::ToLowerAscii(u"ABCXYZ abcxyz 019")), "abcxyz abcxyz 019");
    // The neighbours of 'A' and 'Z' and every non-ASCII letter stay as they are.
    EXPECT_EQ(U8(platform::ToLowerAscii(u"@[`{")), "@[`{");
    EXPECT_EQ(U8(platform::ToLowerAscii(u"ÀÉÖ ΑΒΓ ＡＢＣ İ")), "ÀÉÖ ΑΒΓ ＡＢＣ İ");
    EXPECT_EQ(U8(platform::ToLowerAscii(u"Tabelle_ÄÖÜ")), "tabelle_ÄÖÜ");
    EXPECT_EQ(U8(platform::ToLowerAscii(u"")), "");
}
