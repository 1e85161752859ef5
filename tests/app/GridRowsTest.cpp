// The grid's row conveniences in the core: the copied text and going to a row.
#include <gtest/gtest.h>

#include <memory>

#include "app/DumpSession.h"
#include "app/GoToRow.h"
#include "app/GridCopy.h"
#include "filter/RowFilter.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

TableEntry ThreeColumns() {
    TableEntry table;
    table.schema = u"public";
    table.name = u"t";
    for (const char16_t* name : {u"id", u"名前", u"note\tx"}) {
        ColumnInfo column;
        column.name = name;
        table.columns.push_back(column);
    }
    return table;
}

CellValue Text(const char16_t* text) {
    return CellValue{false, text};
}

CellValue Null() {
    return CellValue{true, u""};
}

// public.many_rows of the sample dump (n = 1 .. 1500), loaded, optionally filtered.
std::unique_ptr<CDumpSession> ManyRows(const char16_t* where) {
    auto session = std::make_unique<CDumpSession>();
    std::u16string error;
    session->SetDump(
        CDumpSession::OpenDump(FixturePathW("dumps/kx_main.custom.dump"), false, nullptr, error));
    EXPECT_TRUE(session->IsOpen()) << U8(error);
    const ptrdiff_t index = session->FindTable(u"public.many_rows", nullptr, error);
    EXPECT_GE(index, 0);
    TestJob job;
    EXPECT_TRUE(session->LoadTable(static_cast<size_t>(index), &job, error)) << U8(error);
    if (where != nullptr) {
        std::unique_ptr<CRowFilter> filter;
        std::vector<size_t> matches;
        EXPECT_TRUE(session->PrepareFilter(where, u"", filter, error)) << U8(error);
        EXPECT_TRUE(session->RunFilter(*filter, nullptr, matches, error)) << U8(error);
        session->SetFilterResult(std::move(matches));
    }
    return session;
}

}  // namespace

TEST(GridCopyTest, HeaderAndRowsAsTheGridShowsThem) {
    const TableEntry table = ThreeColumns();
    struct Case {
        const char* what;
        std::vector<int> columns;
        std::vector<RowCells> rows;
        std::u16string expected;
    };
    const Case cases[] = {
        {"no rows: the header alone", {0, 1, 2}, {}, u"id\t名前\tnote→x\r\n"},
        {"cells formatted, NULL shown, order on screen",
         {2, 0},
         {{Text(u"1"), Text(u"a"), Text(u"x\ty\r\nz")}, {Text(u"2"), Text(u""), Null()}},
         u"note→x\tid\r\nx→y↵z\t1\r\n(NULL)\t2\r\n"},
        {"an unreadable row and a column the table lacks stay empty",
         {1, 7},
         {{}, {Text(u"9"), Text(u"漢字")}},
         u"名前\t\r\n\t\r\n漢字\t\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(MakeCopiedRowsText(table, c.columns, c.rows)), U8(c.expected)) << c.what;
    }
    // A long value is cut as in the grid.
    const std::u16string text =
        MakeCopiedRowsText(table, {0}, {{CellValue{false, std::u16string(400, u'a')}}});
    EXPECT_EQ(text, u"id\r\n" + std::u16string(300, u'a') + u"...\r\n");
}

TEST(GoToRowTest, RowNumbersAsTyped) {
    struct Case {
        const char16_t* text;
        bool ok;
        uint64_t number;
    };
    const Case cases[] = {
        {u"42", true, 42},
        {u"  1,234 ", true, 1234},
        {u"\u3000１２\u3000", true, 12},
        {u"0", true, 0},
        {u"18446744073709551615", true, UINT64_MAX},
        {u"18446744073709551616", false, 0},
        {u"", false, 0},
        {u"  ", false, 0},
        {u"-3", false, 0},
        {u"+3", false, 0},
        {u"1,", false, 0},
        {u",1", false, 0},
        {u"1,,2", false, 0},
        {u"1.5", false, 0},
        {u"1 2", false, 0},
        {u"abc", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t number = 777;
        EXPECT_EQ(ParseRowNumber(c.text, number), c.ok) << U8(c.text);
        if (c.ok) {
            EXPECT_EQ(number, c.number) << U8(c.text);
        }
    }
    EXPECT_EQ(U8(MakeGoToRowPrompt(1500)), "行番号(1 - 1,500)");
    EXPECT_EQ(U8(MakeGoToRowPrompt(0)), "行番号(1 - 0)");
}

TEST(GoToRowTest, FindsTheRowInTheViewOrSaysItIsNotThere) {
    struct Case {
        const char16_t* where;  // null: every row on view
        const char16_t* answer;
        size_t pageSize;
        bool found;
        size_t viewIndex;
        size_t pageStart;
        const char* message;
    };
    const Case cases[] = {
        {nullptr, u"1", 1000, true, 0, 0, ""},
        {nullptr, u"1000", 1000, true, 999, 0, ""},
        {nullptr, u"1,001", 1000, true, 1000, 1000, ""},
        {nullptr, u"1500", 100, true, 1499, 1400, ""},
        {nullptr, u"0", 1000, false, 0, 0, "行 0 は現在の表示にありません。"},
        {nullptr, u"1501", 1000, false, 0, 0, "行 1,501 は現在の表示にありません。"},
        {nullptr, u" x1 ", 1000, false, 0, 0, "行 x1 は現在の表示にありません。"},
        // n % 100 = 0 keeps rows 100, 200, ..., 1500 (view positions 0 .. 14).
        {u"n % 100 = 0", u"300", 10, true, 2, 0, ""},
        {u"n % 100 = 0", u"1500", 10, true, 14, 10, ""},
        {u"n % 100 = 0", u"1100", 5, true, 10, 10, ""},
        {u"n % 100 = 0", u"301", 10, false, 0, 0, "行 301 は現在の表示にありません。"},
        {u"n % 100 = 0", u"1", 10, false, 0, 0, "行 1 は現在の表示にありません。"},
        {u"n > 2000", u"1", 10, false, 0, 0, "行 1 は現在の表示にありません。"},
    };
    std::unique_ptr<CDumpSession> all = ManyRows(nullptr);
    std::unique_ptr<CDumpSession> hundreds = ManyRows(u"n % 100 = 0");
    std::unique_ptr<CDumpSession> none = ManyRows(u"n > 2000");
    for (const Case& c : cases) {
        const CDumpSession& session = c.where == nullptr                       ? *all
                                      : std::u16string(c.where) == u"n > 2000" ? *none
                                                                               : *hundreds;
        const GoToRowTarget t = FindGoToRowTarget(session, c.answer, c.pageSize);
        const std::string what = U8(c.answer);
        EXPECT_EQ(t.found, c.found) << what;
        EXPECT_EQ(U8(t.message), c.message) << what;
        if (!c.found) continue;
        EXPECT_EQ(t.viewIndex, c.viewIndex) << what;
        EXPECT_EQ(t.pageStart, c.pageStart) << what;
        uint64_t number = 0;
        ASSERT_TRUE(ParseRowNumber(c.answer, number));
        EXPECT_EQ(session.GetViewRow(t.viewIndex) + 1, number) << what;
    }
    // Nothing loaded: every row is off the view.
    CDumpSession empty;
    EXPECT_FALSE(FindGoToRowTarget(empty, u"1", 10).found);
}
