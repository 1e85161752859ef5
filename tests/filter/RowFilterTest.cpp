#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "filter/RowFilter.h"
#include "filter/WhereTestSupport.h"
#include "jobs/JobContext.h"
#include "store/TableData.h"
#include "support/MemoryDump.h"
#include "support/TestJob.h"

namespace {

using where_test::Cell;
using where_test::Column;
using where_test::NullCell;

const std::vector<ColumnInfo> kColumns = {Column(u"id", u"integer"), Column(u"name", u"text"),
                                          Column(u"hidden", u"text")};

std::vector<RowCells> SampleRows() {
    return {
        {Cell(u"1"), Cell(u"ABCD"), Cell(u"")}, {Cell(u"2"), Cell(u"xAbCx"), NullCell()},
        {Cell(u"3"), NullCell(), NullCell()},   {Cell(u"0"), Cell(u"a b"), Cell(u"abc")},
        {Cell(u"5"), Cell(u"zzz"), Cell(u"")},  {NullCell(), Cell(u"東京 abc"), Cell(u"ＡＢＣ")},
    };
}

struct Outcome {
    bool ok = false;
    std::vector<size_t> matches;
    std::string error;
};

Outcome Filter(const std::u16string& where, const std::u16string& keyword,
               const std::vector<RowCells>& rows = SampleRows(), IJobContext* job = nullptr) {
    Outcome outcome;
    CRowFilter filter;
    std::u16string error;
    if (!filter.Prepare(where, keyword, kColumns, error)) {
        outcome.error = U8(error);
        return outcome;
    }
    outcome.ok = filter.Run(
        rows.size(),
        [&rows](size_t i, RowCells& cells) {
            cells = rows[i];
            return true;
        },
        job, outcome.matches, error);
    outcome.error = U8(error);
    return outcome;
}

TEST(RowFilterTest, KeywordAndCondition) {
    using Rows = std::vector<size_t>;
    struct Case {
        std::u16string where;
        std::u16string keyword;
        Rows matches;
    };
    const Case cases[] = {
        {u"", u"abc", {0, 1, 3, 5}},  // ABCD, xAbCx, the hidden abc, 東京 abc; never NULL
        {u"", u"ABC", {0, 1, 3, 5}},  // the keyword is lower-cased too
        {u"", u" ", {3, 5}},          // one space is a keyword
        {u"", u"ｂ", {}},             // full-width letters are not folded
        {u"", u"ＡＢＣ", {5}},        // as written in the hidden cell
        {u"", u"\u3000", {}},
        {u"", u"東京", {5}},
        {u"", u"x", {1}},
        {u"", u"abcde", {}},
        {u"id > 1", u"", {1, 2, 4}},
        {u"id > 1", u"abc", {1}},
        {u"id IS NULL OR id = 0", u"abc", {3, 5}},
        {u"name LIKE '%b%'", u"", {1, 3, 5}},
        {u"hidden IS NULL", u"", {1, 2}},
        {u"TRUE", u"", {0, 1, 2, 3, 4, 5}},
        {u"  \r\n", u"zz", {4}},
        {u"'no'", u"", {}},
        {u"NULL", u"", {}},
        // Rows the keyword excludes are never evaluated: id 0 would divide by zero.
        {u"10 / id > 1", u"xabcx", {1}},
    };
    for (const Case& c : cases) {
        Outcome outcome = Filter(c.where, c.keyword);
        EXPECT_TRUE(outcome.ok) << U8(c.where) << " / " << U8(c.keyword) << ": " << outcome.error;
        EXPECT_EQ(outcome.matches, c.matches) << U8(c.where) << " / " << U8(c.keyword);
    }
}

TEST(RowFilterTest, Messages) {
    struct Case {
        std::u16string where;
        std::u16string keyword;
        std::u16string error;
    };
    const Case cases[] = {
        {u"nosuch = 1", u"", u"WHERE 条件式が不正です。\nカラム nosuch はテーブルに存在しません"},
        {u"id = ", u"", u"WHERE 条件式が不正です。\n条件式が途中で終わっています"},
        {u"\u3000", u"", u"WHERE 条件式が不正です。\n条件式が途中で終わっています"},
        {u"10 / id > 1", u"", u"WHERE 条件式の評価に失敗しました。\n0 で除算しました"},
        {u"10 / id > 1", u"a", u"WHERE 条件式の評価に失敗しました。\n0 で除算しました"},
        {u"name + 1", u"",
         u"WHERE 条件式の評価に失敗しました。\n演算子 + には数値を指定してください"},
    };
    for (const Case& c : cases) {
        Outcome outcome = Filter(c.where, c.keyword);
        EXPECT_FALSE(outcome.ok) << U8(c.where);
        EXPECT_EQ(outcome.error, U8(c.error)) << U8(c.where);
        EXPECT_TRUE(outcome.matches.empty()) << U8(c.where);
    }
}

TEST(RowFilterTest, EmptyFilter) {
    struct Case {
        std::u16string where;
        std::u16string keyword;
        bool empty;
        bool hasWhere;
    };
    const Case cases[] = {
        {u"", u"", true, false},       {u" \t\r\n", u"", true, false}, {u"", u" ", false, false},
        {u"id = 1", u"", false, true}, {u" \t", u"k", false, false},
    };
    for (const Case& c : cases) {
        CRowFilter filter;
        std::u16string error;
        ASSERT_TRUE(filter.Prepare(c.where, c.keyword, kColumns, error)) << U8(error);
        EXPECT_EQ(filter.IsEmpty(), c.empty) << U8(c.where) << "/" << U8(c.keyword);
        EXPECT_EQ(filter.HasWhere(), c.hasWhere) << U8(c.where);
    }
}

TEST(RowFilterTest, UnreadableRow) {
    CRowFilter filter;
    std::u16string error;
    ASSERT_TRUE(filter.Prepare(u"", u"", kColumns, error));
    std::vector<size_t> matches = {99};
    bool ok = filter.Run(
        5,
        [](size_t i, RowCells& cells) {
            cells = {Cell(u"1")};
            return i != 2;
        },
        nullptr, matches, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(U8(error), U8(u"行データの読み取りに失敗しました(行 3)。"));
    EXPECT_TRUE(matches.empty());
}

TEST(RowFilterTest, ProgressAndCancellation) {
    std::vector<RowCells> rows(10000, RowCells{Cell(u"1"), Cell(u"x"), Cell(u"y")});
    struct Case {
        int cancelAfterPolls;
        bool ok;
        int polls;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {-1, true, 3, {0, 40, 81}},  // rows 0, 4096 and 8192
        {0, false, 1, {}},           // the first poll comes after row 0
        {1, false, 2, {0}},
        {2, false, 3, {0, 40}},
    };
    for (const Case& c : cases) {
        TestJob job(c.cancelAfterPolls);
        Outcome outcome = Filter(u"id = 1", u"x", rows, &job);
        EXPECT_EQ(outcome.ok, c.ok) << c.cancelAfterPolls;
        EXPECT_EQ(job.polls, c.polls) << c.cancelAfterPolls;
        EXPECT_EQ(job.progress, c.progress) << c.cancelAfterPolls;
        if (c.ok) {
            EXPECT_EQ(outcome.matches.size(), rows.size());
        } else {
            EXPECT_EQ(outcome.error, U8(kCancelledMessage));
            EXPECT_TRUE(outcome.matches.empty());
        }
    }
    TestJob job;
    Outcome none = Filter(u"id = 1", u"", {}, &job);
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(job.polls, 0);
}

TEST(RowFilterTest, OverALoadedTable) {
    // Rows decoded by the real store: NULLs, escapes and a Japanese name.
    std::string text;
    for (int i = 0; i < 9000; ++i) {
        text += std::to_string(i) + "\t";
        text += i % 7 == 0 ? "\\N" : (i % 2 == 0 ? "Shop\\tTokyo" : "店舗 " + std::to_string(i));
        text += "\t";
        text += i % 1000 == 0 ? "needle" : "hay";
        text += "\n";
    }
    text += "\\.\n";
    MemoryDump dump(text, 65001, 3);
    dump.pieces = {1000, 3, 70000};
    CTableData table;
    std::u16string error;
    ASSERT_TRUE(table.Load(dump, dump.Table(), nullptr, error)) << U8(error);
    ASSERT_EQ(table.GetRowCount(), 9000u);

    struct Case {
        std::u16string where;
        std::u16string keyword;
        size_t count;
        size_t first;
    };
    const Case cases[] = {
        {u"", u"NEEDLE", 9, 0},
        {u"name ILIKE 'shop\ttokyo'", u"", 9000 / 2 - 9000 / 14 - 1, 2},
        {u"name LIKE '店舗 %' AND id % 1000 = 1", u"", 7, 1},  // 1001 and 8001 are NULL
        {u"name IS NULL AND hidden = 'needle'", u"", 2, 0},
        {u"id >= 8990", u"店舗", 4, 8991},  // 8995 is NULL
    };
    for (const Case& c : cases) {
        std::vector<size_t> matches;
        TestJob job;
        ASSERT_TRUE(FilterTableRows(table, kColumns, c.where, c.keyword, &job, matches, error))
            << U8(error);
        EXPECT_EQ(matches.size(), c.count) << U8(c.where);
        ASSERT_FALSE(matches.empty()) << U8(c.where);
        EXPECT_EQ(matches[0], c.first) << U8(c.where);
        EXPECT_TRUE(std::is_sorted(matches.begin(), matches.end()));
        EXPECT_EQ(job.progress, (std::vector<int>{0, 45, 91}));
    }
    std::vector<size_t> matches;
    EXPECT_FALSE(FilterTableRows(table, kColumns, u"id = 'x' OR", u"", nullptr, matches, error));
    EXPECT_EQ(U8(error), U8(u"WHERE 条件式が不正です。\n条件式が途中で終わっています"));
}

}  // namespace
