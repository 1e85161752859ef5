// The grid's row conveniences in the core: the copied text and going to a row.
#include <gtest/gtest.h>

#include "app/DumpSession.h"
#include "app/GoToRow.h"
#include "app/GridCopy.h"
#include "filter/RowFilter.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

TEST(GridCopyTest, HeaderAndRowsAsTheGridShowsThem) {
    TableEntry table;
    for (const char16_t* name : {u"id", u"名前", u"note\tx"}) {
        table.columns.emplace_back();
        table.columns.back().name = name;
    }
    const CellValue null{true, u""};
    struct Case {
        std::vector<int> columns;  // in the order on screen
        std::vector<RowCells> rows;
        std::u16string expected;
    };
    const Case cases[] = {
        {{0, 1, 2}, {}, u"id\t名前\tnote→x\r\n"},
        {{2, 0},
         {{{false, u"1"}, {false, u"a"}, {false, u"x\ty\r\nz"}}, {{false, u"2"}, {}, null}},
         u"note→x\tid\r\nx→y↵z\t1\r\n(NULL)\t2\r\n"},
        // An unreadable row and a column the table lacks stay empty.
        {{1, 7}, {{}, {{false, u"9"}, {false, u"漢字"}}}, u"名前\t\r\n\t\r\n漢字\t\r\n"},
        {{0},
         {{{false, std::u16string(400, u'a')}}},
         u"id\r\n" + std::u16string(300, u'a') + u"...\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(MakeCopiedRowsText(table, c.columns, c.rows)), U8(c.expected));
    }
}

TEST(GoToRowTest, RowNumbersAsTyped) {
    const struct {
        const char16_t* text;
        bool ok;
        uint64_t number;
    } cases[] = {
        {u"  1,234 ", true, 1234},
        {u"\u3000１２", true, 12},
        {u"18446744073709551615", true, UINT64_MAX},
        {u"18446744073709551616", false, 0},
        {u" ", false, 0},
        {u"-3", false, 0},
        {u"1,", false, 0},
        {u"1,,2", false, 0},
        {u"1.5", false, 0},
        {u"1 2", false, 0},
    };
    for (const auto& c : cases) {
        uint64_t number = 777;
        EXPECT_EQ(ParseRowNumber(c.text, number), c.ok) << U8(c.text);
        EXPECT_EQ(number, c.ok ? c.number : 777) << U8(c.text);
    }
    EXPECT_EQ(U8(MakeGoToRowPrompt(1500)), "行番号(1 - 1,500)");
}

// public.many_rows of the sample dump holds n = 1 .. 1500; n % 100 = 0 keeps 15 of them.
TEST(GoToRowTest, PageOfTheRowInTheViewOrAMessage) {
    CDumpSession session;
    std::u16string error;
    session.SetDump(
        CDumpSession::OpenDump(FixturePathW("dumps/kx_main.custom.dump"), false, nullptr, error));
    TestJob job;
    ASSERT_TRUE(session.LoadTable(
        static_cast<size_t>(session.FindTable(u"public.many_rows", nullptr, error)), &job, error));
    const struct {
        bool filtered;
        const char16_t* answer;
        size_t pageSize;
        size_t viewIndex;  // SIZE_MAX: not found
        size_t pageStart;
        const char* message;
    } cases[] = {
        {false, u"1,001", 1000, 1000, 1000, ""},
        {false, u"1500", 100, 1499, 1400, ""},
        {false, u"0", 1000, SIZE_MAX, 0, "行 0 は現在の表示にありません。"},
        {false, u"1501", 1000, SIZE_MAX, 0, "行 1,501 は現在の表示にありません。"},
        {false, u" x1 ", 1000, SIZE_MAX, 0, "行 x1 は現在の表示にありません。"},
        {true, u"1500", 10, 14, 10, ""},
        {true, u"1100", 5, 10, 10, ""},
        {true, u"301", 10, SIZE_MAX, 0, "行 301 は現在の表示にありません。"},
    };
    for (const auto& c : cases) {
        if (c.filtered && !session.IsFiltered()) {
            std::unique_ptr<CRowFilter> filter;
            std::vector<size_t> matches;
            ASSERT_TRUE(session.PrepareFilter(u"n % 100 = 0", u"", filter, error));
            ASSERT_TRUE(session.RunFilter(*filter, nullptr, matches, error));
            session.SetFilterResult(std::move(matches));
        }
        const GoToRowTarget t = FindGoToRowTarget(session, c.answer, c.pageSize);
        EXPECT_EQ(t.found ? t.viewIndex : SIZE_MAX, c.viewIndex) << U8(c.answer);
        EXPECT_EQ(t.found ? t.pageStart : 0, c.pageStart) << U8(c.answer);
        EXPECT_EQ(U8(t.message), c.message) << U8(c.answer);
    }
    EXPECT_FALSE(FindGoToRowTarget(CDumpSession(), u"1", 10).found);
}
