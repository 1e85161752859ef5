#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "app/GridPaging.h"
#include "support/TestPaths.h"

// One walk through 2,500 rows at 1,000 a page, as the buttons would do it.
TEST(GridPagingTest, WalksThroughPagesAndStopsAtTheEnds) {
    const size_t n = 2500;
    const size_t p = 1000;
    size_t s = 0;
    EXPECT_EQ(PageItemCount(s, n, p), 1000u);
    s = NextPageStart(s, n, p);
    EXPECT_EQ(s, 1000u);
    s = NextPageStart(s, n, p);
    EXPECT_EQ(s, 2000u);
    EXPECT_EQ(PageItemCount(s, n, p), 500u);
    EXPECT_EQ(NextPageStart(s, n, p), 2000u) << "next on the last page does nothing";
    EXPECT_EQ(LastPageStart(n, p), 2000u);
    EXPECT_EQ(PreviousPageStart(2000, p), 1000u);
    EXPECT_EQ(PreviousPageStart(1000, p), 0u);
    EXPECT_EQ(PreviousPageStart(300, p), 0u);
    // Previous and next keep an unaligned start unaligned.
    EXPECT_EQ(NextPageStart(1300, n, p), 2300u);
    EXPECT_EQ(PreviousPageStart(2300, p), 1300u);
    EXPECT_EQ(LastPageStart(0, p), 0u);
    EXPECT_EQ(LastPageStart(1000, p), 0u);
    EXPECT_EQ(LastPageStart(1001, p), 1000u);
    EXPECT_EQ(ClampPageStart(5000, n, p), 2000u);
    EXPECT_EQ(ClampPageStart(5000, 0, p), 0u);
    EXPECT_EQ(ClampPageStart(1500, n, p), 1500u);
    EXPECT_EQ(PageItemCount(0, 0, p), 0u);
    EXPECT_EQ(NextPageStart(static_cast<size_t>(-5), static_cast<size_t>(-1), p),
              static_cast<size_t>(-5))
        << "no wrap-around near the top of the range";
}

TEST(GridPagingTest, ChangedPageSizeKeepsTheTopRowOnItsPage) {
    EXPECT_EQ(AlignPageStart(2000, 300), 1800u);
    EXPECT_EQ(PageItemCount(1800, 2500, 300), 300u);
    EXPECT_EQ(AlignPageStart(0, 300), 0u);
    EXPECT_EQ(AlignPageStart(999, 10), 990u);
}

TEST(GridPagingTest, PageSizeBoxIsReadLeniently) {
    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {
        {"", 10},           {"5", 10},          {"9", 10},
        {"10", 10},         {"300", 300},       {" 300 ", 300},
        {"100000", 100000}, {"250000", 100000}, {"99999999999999999999", 100000},
        {"abc", 10},        {"12a", 10},        {"-20", 10},
        {"00042", 42},      {"１００", 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParsePageSize(U16(c.text)), c.expected) << c.text;
    }
}

TEST(GridPagingTest, PageTextAndButtons) {
    struct Case {
        bool loaded;
        size_t start, view, page;
        bool filtered;
        uint64_t total;
        const char* text;
        bool backward, forward;
    };
    const Case cases[] = {
        {false, 0, 0, 1000, false, 0, "", false, false},
        {true, 0, 0, 1000, false, 0, "0 件", false, false},
        {true, 0, 0, 1000, true, 50, "一致する行はありません", false, false},
        {true, 0, 2500, 1000, false, 2500, "行 1 - 1,000 / 2,500 件", false, true},
        {true, 2000, 2500, 1000, false, 2500, "行 2,001 - 2,500 / 2,500 件", true, false},
        {true, 1800, 2500, 300, false, 2500, "行 1,801 - 2,100 / 2,500 件", true, true},
        {true, 1000, 56789, 1000, true, 1234567,
         "行 1,001 - 2,000 / 56,789 件  (全 1,234,567 件から絞り込み)", true, true},
        {true, 0, 1000, 1000, false, 1000, "行 1 - 1,000 / 1,000 件", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(FormatPageInfo(c.loaded, c.start, c.view, c.page, c.filtered, c.total)),
                  c.text);
        const PageButtons b = GetPageButtons(c.loaded, c.start, c.view, c.page);
        EXPECT_EQ(b.first, c.backward) << c.text;
        EXPECT_EQ(b.previous, c.backward) << c.text;
        EXPECT_EQ(b.next, c.forward) << c.text;
        EXPECT_EQ(b.last, c.forward) << c.text;
    }
}
