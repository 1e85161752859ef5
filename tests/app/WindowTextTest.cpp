#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TableListing.h"
#include "app/WindowText.h"
#include "support/TestPaths.h"

namespace {

TableEntry Table(const char* database, const char* schema, const char* name, size_t columns,
                 uint64_t rows, bool known = true) {
    TableEntry table;
    table.database = U16(database);
    table.schema = U16(schema);
    table.name = U16(name);
    table.columns.resize(columns);
    table.rowCount = rows;
    table.rowCountKnown = known;
    return table;
}

std::string Names(const std::vector<TableListItem>& items) {
    std::string text;
    for (const TableListItem& item : items) {
        if (!text.empty()) text += "|";
        text += U8(item.name);
    }
    return text;
}

}  // namespace

TEST(WindowTextTest, TitleAndDumpSummary) {
    EXPECT_EQ(U8(MakeWindowTitle(nullptr)), "Kalvex");
    const std::u16string dir = U16("/data/kx.dir/toc.dat");
    EXPECT_EQ(U8(MakeWindowTitle(&dir)), "Kalvex - toc.dat");
    const std::u16string win = U16("C:\\dumps\\顧客.dump");
    EXPECT_EQ(U8(MakeWindowTitle(&win)), "Kalvex - 顧客.dump");

    DumpInfo info;
    info.formatName = u"Custom";
    info.encoding = u"UTF8";
    info.serverVersion = u"15.18";
    EXPECT_EQ(U8(MakeDumpSummary(info, 1234)),
              "Custom  テーブル 1234  エンコーディング UTF8  サーバー 15.18");
    info.formatName = u"Plain SQL";
    info.isCluster = true;
    info.serverVersion.clear();
    EXPECT_EQ(U8(MakeDumpSummary(info, 3)),
              "Plain SQL (pg_dumpall)  テーブル 3  エンコーディング UTF8");
}

TEST(WindowTextTest, TableStatusTexts) {
    const TableEntry t = Table("", "public", "顧客", 4, 0);
    EXPECT_EQ(U8(MakeTableLoadedStatus(t, 1234567)), "public.顧客: 1,234,567 行、4 列");
    EXPECT_EQ(U8(MakeSchemaOnlyStatus(t)),
              "public.顧客: 行データはダンプに含まれていません(スキーマのみ)");
    EXPECT_EQ(U8(MakeLoadStoppedStatus(t)), "public.顧客: 読み込みを中止しました");
}

TEST(WindowTextTest, CellTexts) {
    auto cell = [](const std::u16string& text) { return CellValue{false, text}; };
    EXPECT_EQ(U8(FormatCellText(CellValue{true, u""})), "(NULL)");
    EXPECT_EQ(U8(FormatCellText(cell(u""))), "");
    EXPECT_EQ(U8(FormatCellText(cell(u"a\tb\r\nc"))), "a→b↵c");
    EXPECT_EQ(U8(FormatCellText(cell(u"x\x01y\x1fz\x7f"))), "x y z\x7f");
    const std::u16string exact(300, u'x');
    EXPECT_EQ(FormatCellText(cell(exact)), exact + u"...");
    EXPECT_EQ(FormatCellText(cell(std::u16string(299, u'x') + u"\r")), std::u16string(299, u'x'));
    EXPECT_EQ(FormatCellText(cell(std::u16string(5000, u'y'))), std::u16string(300, u'y') + u"...");
}

TEST(WindowTextTest, DatabaseChoice) {
    DumpInfo single;
    EXPECT_EQ(MakeDatabaseChoice(single, {}).items, std::vector<std::u16string>{u"-"});
    single.database = u"kx_main";
    EXPECT_EQ(MakeDatabaseChoice(single, {}).items, std::vector<std::u16string>{u"kx_main"});

    DumpInfo cluster;
    cluster.isCluster = true;
    cluster.databases = {u"template1", u"kx_main", u"postgres"};
    std::vector<TableEntry> tables = {Table("kx_main", "public", "a", 1, 1)};
    DatabaseChoice choice = MakeDatabaseChoice(cluster, tables);
    EXPECT_EQ(choice.items.size(), 3u);
    EXPECT_EQ(choice.selected, 1u) << "opens on the first database with a table";

    // Only global objects have tables: "(global)" is listed but not chosen.
    tables = {Table("", "public", "g", 1, 1)};
    choice = MakeDatabaseChoice(cluster, tables);
    ASSERT_EQ(choice.items.size(), 4u);
    EXPECT_EQ(U8(choice.items[3]), "(global)");
    EXPECT_EQ(choice.selected, 0u);
}

TEST(WindowTextTest, TableListFiltersByDatabaseAndName) {
    const std::vector<TableEntry> tables = {
        Table("db1", "public", "users", 3, 1234567),
        Table("db1", "public", "Users_log", 12, 5, false),
        Table("db1", "public", "ＵＳＥＲＳ", 1, 0),
        Table("db2", "public", "users", 2, 7),
        Table("", "public", "global_t", 1, 1),
    };
    DumpInfo cluster;
    cluster.isCluster = true;
    auto items = MakeTableListItems(cluster, tables, u"db1", u"USER");
    EXPECT_EQ(Names(items), "public.users|public.Users_log");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(U8(items[0].rows), "1,234,567");
    EXPECT_EQ(U8(items[1].rows), "?");
    EXPECT_EQ(U8(items[1].columns), "12");
    EXPECT_EQ(items[1].position, 1u);
    EXPECT_EQ(Names(MakeTableListItems(cluster, tables, u"db2", u"")), "public.users");
    EXPECT_EQ(Names(MakeTableListItems(cluster, tables, u"(global)", u"")), "public.global_t");
    EXPECT_EQ(MakeTableListItems(cluster, tables, u"db3", u"").size(), 0u);

    DumpInfo single;
    items = MakeTableListItems(single, tables, u"", u"users");
    EXPECT_EQ(Names(items), "public.users|public.Users_log|public.users");
    EXPECT_EQ(items[2].position, 3u);
}
