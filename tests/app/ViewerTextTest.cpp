#include <gtest/gtest.h>

#include "app/ColumnChoice.h"
#include "app/DumpProperties.h"
#include "app/RowDetail.h"

namespace {

TableEntry TwoColumnTable() {
    TableEntry table;
    table.schema = u"public";
    table.name = u"顧客";
    table.columns = {{u"id", u"integer", true}, {u"名前", u"character varying(20)", false}};
    return table;
}

CellValue Text(const std::u16string& text) {
    return {false, text};
}
CellValue Null() {
    return {true, u""};
}

}  // namespace

TEST(RowDetailTest, HeadingNamesTheTableAndTheRow) {
    const TableEntry table = TwoColumnTable();
    EXPECT_EQ(RowDetailHeading(&table, 1234567), u"public.顧客  行 1234567");
    EXPECT_EQ(RowDetailHeading(nullptr, 1), u"  行 1");
}

TEST(RowDetailTest, ItemsAndClipboardTextForEveryShapeOfRow) {
    const TableEntry table = TwoColumnTable();
    struct Case {
        const char* what;
        const TableEntry* table;
        RowCells cells;
        std::vector<RowDetailItem> items;
        std::u16string clipboard;
    } cases[] = {
        {"plain row",
         &table,
         {Text(u"1"), Text(u"山田")},
         {{u"id", u"integer", u"1"}, {u"名前", u"character varying(20)", u"山田"}},
         u"id\t1\r\n名前\t山田\r\n"},
        // NULL shows and copies as (NULL); an empty string as nothing.
        {"NULL and empty",
         &table,
         {Null(), Text(u"")},
         {{u"id", u"integer", u"(NULL)"}, {u"名前", u"character varying(20)", u""}},
         u"id\t(NULL)\r\n名前\t\r\n"},
        // An extra field: listed as (列3), copied with an empty name.
        {"more cells than columns",
         &table,
         {Text(u"1"), Text(u"a"), Text(u"余分")},
         {{u"id", u"integer", u"1"},
          {u"名前", u"character varying(20)", u"a"},
          {u"(列3)", u"", u"余分"}},
         u"id\t1\r\n名前\ta\r\n\t余分\r\n"},
        // A short row: the missing value stays empty.
        {"fewer cells than columns",
         &table,
         {Text(u"9")},
         {{u"id", u"integer", u"9"}, {u"名前", u"character varying(20)", u""}},
         u"id\t9\r\n名前\t\r\n"},
        // Line breaks and tabs are copied unchanged before the closing CR LF.
        {"line breaks",
         &table,
         {Text(u"1"), Text(u"a\r\nb\tc\n")},
         {{u"id", u"integer", u"1"}, {u"名前", u"character varying(20)", u"a\r\nb\tc\n"}},
         u"id\t1\r\n名前\ta\r\nb\tc\n\r\n"},
        {"no table",
         nullptr,
         {Text(u"x"), Null()},
         {{u"(列1)", u"", u"x"}, {u"(列2)", u"", u"(NULL)"}},
         u"\tx\r\n\t(NULL)\r\n"},
        {"nothing at all", nullptr, {}, {}, u""},
    };
    for (const Case& c : cases) {
        const auto items = BuildRowDetailItems(c.table, c.cells);
        ASSERT_EQ(items.size(), c.items.size()) << c.what;
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].name, c.items[i].name) << c.what << " item " << i;
            EXPECT_EQ(items[i].type, c.items[i].type) << c.what << " item " << i;
            EXPECT_EQ(items[i].value, c.items[i].value) << c.what << " item " << i;
        }
        EXPECT_EQ(BuildRowClipboardText(c.table, c.cells), c.clipboard) << c.what;
    }
}

TEST(DumpPropertiesTest, LinesOfASingleDatabaseAndOfAWholeCluster) {
    DumpInfo info;
    info.formatName = u"Custom";
    info.database = u"kx_main";
    info.serverVersion = u"15.5";
    info.dumpVersion = u"15.5";
    info.encoding = u"UTF8";
    info.compression = u"gzip";
    info.createdAt = u"2024/01/02 03:04:05";
    const auto lines = BuildPropertyLines(info, 1234);
    const std::vector<std::pair<int, std::u16string>> expected = {
        {1120, u"Custom"},
        {1121, u"kx_main"},
        {1122, u"15.5"},
        {1123, u"15.5"},
        {1124, u"UTF8"},
        {1126, u"gzip"},
        {1125, u"2024/01/02 03:04:05"},
        {1127, u"1234"},  // table count without separators
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].id, expected[i].first);
        EXPECT_EQ(lines[i].value, expected[i].second) << lines[i].id;
    }
    EXPECT_EQ(lines[0].label, u"ダンプ形式");
    EXPECT_EQ(lines[3].label, u"pg_dump バージョン");
    EXPECT_EQ(lines[5].label, u"圧縮");
    EXPECT_EQ(lines[6].label, u"作成日時");
    EXPECT_EQ(lines[7].label, u"テーブル数");

    DumpInfo cluster;
    cluster.formatName = u"Plain SQL";
    cluster.isCluster = true;
    cluster.database = u"ignored";
    cluster.databases = {u"postgres", u"kx_main", u"日本"};
    const auto clusterLines = BuildPropertyLines(cluster, 0);
    EXPECT_EQ(clusterLines[0].value, u"Plain SQL (pg_dumpall)");
    EXPECT_EQ(clusterLines[1].value, u"postgres, kx_main, 日本");
    EXPECT_EQ(clusterLines[7].value, u"0");
}

TEST(ColumnChoiceTest, CheckedFromTheGridAndChosenInTableOrder) {
    // The grid showed columns 3 and 0 in that order; 7 and -1 no longer exist.
    const auto checked = CheckedColumns(4, {3, 0, 7, -1});
    EXPECT_EQ(checked, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(ChosenColumns(checked), (std::vector<int>{0, 3}));
    EXPECT_TRUE(ChosenColumns({false, false}).empty());
    EXPECT_TRUE(CheckedColumns(0, {0}).empty());
}
