#include <gtest/gtest.h>

#include <memory>

#include "app/DumpSession.h"
#include "filter/RowFilter.h"
#include "platform/TempFiles.h"
#include "store/TableCursor.h"
#include "store/TableData.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

std::unique_ptr<IDumpFile> Open(const std::string& file, bool scan) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump =
        CDumpSession::OpenDump(FixturePathW("dumps/" + file), scan, nullptr, error);
    EXPECT_TRUE(dump) << U8(error);
    return dump;
}

}  // namespace

TEST(DumpSessionTest, OpenScansOnlyWhatTheCatalogueNeeds) {
    struct Case {
        const char* file;
        bool scan;
        bool countsKnown;  // a scan ran: many_rows has its row count
    };
    const Case cases[] = {
        {"kx_main.custom.dump", false, false},
        {"kx_main.custom.dump", true, true},
        {"kx_main.dir", false, false},
        {"kx_main.sql", false, true},  // a script's tables are found by the scan
        {"kx_main.sql.gz", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.scan ? " scan" : ""));
        std::unique_ptr<IDumpFile> dump = Open(c.file, c.scan);
        ASSERT_TRUE(dump);
        CDumpSession session;
        session.SetDump(std::move(dump));
        std::u16string error;
        const ptrdiff_t index = session.FindTable(u"many_rows", nullptr, error);
        ASSERT_GE(index, 0) << U8(error);
        const TableEntry& table = session.GetDump()->GetTables()[static_cast<size_t>(index)];
        EXPECT_EQ(table.rowCountKnown, c.countsKnown);
        if (c.countsKnown) EXPECT_EQ(table.rowCount, 1500u);
    }

    std::u16string error;
    EXPECT_FALSE(CDumpSession::OpenDump(FixturePathW("dumps/missing.dump"), true, nullptr, error));
    EXPECT_FALSE(error.empty());
}

TEST(DumpSessionTest, DatabasesTablesAndNames) {
    CDumpSession cluster;
    cluster.SetDump(Open("cluster.dumpall.sql", false));
    ASSERT_TRUE(cluster.IsOpen());
    EXPECT_EQ(cluster.GetDatabases(),
              (std::vector<std::u16string>{u"template1", u"kx_eucjp", u"kx_latin1", u"kx_main",
                                           u"postgres"}));
    const std::u16string latin1 = u"kx_latin1";
    const std::vector<size_t> latin1Tables = cluster.GetTableIndexes(&latin1);
    ASSERT_EQ(latin1Tables.size(), 2u);
    EXPECT_EQ(cluster.GetDump()->GetTables()[latin1Tables[1]].name, u"plain_ascii");
    EXPECT_EQ(cluster.GetTableIndexes(nullptr).size(), cluster.GetDump()->GetTables().size());

    struct Case {
        const char16_t* name;
        const char16_t* database;  // null: none given
        const char16_t* schema;    // expected table's schema; null: an error
        const char16_t* error;
    };
    const std::u16string main = u"kx_main";
    const Case cases[] = {
        {u"public.simple", u"kx_main", u"public", u""},
        {u"simple", u"kx_main", u"public", u""},
        {u"sales.items", u"kx_main", u"sales", u""},
        {u"items", u"kx_main", nullptr,
         u"テーブル名が一意ではありません(items)。スキーマ名やデータベース名(--database)を付けて"
         u"指定してください。"},
        {u"simple", u"kx_latin1", nullptr, u"テーブルが見つかりません(simple)。"},
        {u"simple", u"nosuch", nullptr, u"データベースが見つかりません(nosuch)。"},
        {u"public.notes", nullptr, u"public", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.name));
        std::u16string error;
        const std::u16string database = c.database ? c.database : u"";
        const ptrdiff_t index = cluster.FindTable(c.name, c.database ? &database : nullptr, error);
        if (c.schema == nullptr) {
            EXPECT_EQ(index, -1);
            EXPECT_EQ(error, c.error);
        } else {
            ASSERT_GE(index, 0) << U8(error);
            EXPECT_EQ(cluster.GetDump()->GetTables()[static_cast<size_t>(index)].schema, c.schema);
        }
    }

    // A one-database dump lists no databases; its own name is accepted, another is not.
    CDumpSession one;
    one.SetDump(Open("kx_main.custom.dump", false));
    EXPECT_TRUE(one.GetDatabases().empty());
    std::u16string error;
    EXPECT_GE(one.FindTable(u"simple", &main, error), 0) << U8(error);
    const std::u16string other = u"kx_eucjp";
    EXPECT_EQ(one.FindTable(u"simple", &other, error), -1);
    EXPECT_EQ(error, u"データベースが見つかりません(kx_eucjp)。");
    const std::u16string none;
    EXPECT_TRUE(one.CheckDatabase(none, error));
}

TEST(DumpSessionTest, LoadFilterAndViewRows) {
    CDumpSession session;
    EXPECT_EQ(session.GetViewRowCount(), 0u);
    session.SetDump(Open("kx_main.custom.dump", false));
    std::u16string error;
    const ptrdiff_t index = session.FindTable(u"public.many_rows", nullptr, error);
    ASSERT_GE(index, 0);
    TestJob job;
    ASSERT_TRUE(session.LoadTable(static_cast<size_t>(index), &job, error)) << U8(error);
    ASSERT_TRUE(session.HasTable());
    EXPECT_EQ(session.GetTableIndex(), index);
    EXPECT_EQ(session.GetTable()->name, u"many_rows");
    EXPECT_EQ(session.GetViewRowCount(), 1500u);
    EXPECT_EQ(session.GetViewRow(7), 7u);
    const std::u16string spool = session.GetTableData()->GetTempPath();

    // A wrong condition is reported before any job runs.
    std::unique_ptr<CRowFilter> filter;
    EXPECT_FALSE(session.PrepareFilter(u"nosuch = 1", u"", filter, error));
    EXPECT_EQ(error.rfind(u"WHERE 条件式が不正です。\n", 0), 0u);
    EXPECT_FALSE(filter);

    ASSERT_TRUE(session.PrepareFilter(u"n % 100 = 0", u"", filter, error)) << U8(error);
    std::vector<size_t> matches;
    ASSERT_TRUE(session.RunFilter(*filter, nullptr, matches, error)) << U8(error);
    ASSERT_EQ(matches.size(), 15u);
    EXPECT_FALSE(session.IsFiltered());  // RunFilter changes nothing
    session.SetFilterResult(matches);
    EXPECT_TRUE(session.IsFiltered());
    EXPECT_EQ(session.GetViewRowCount(), 15u);
    CTableCursor cursor(*session.GetTableData());
    RowCells cells;
    ASSERT_TRUE(cursor.GetRow(session.GetViewRow(2), cells));
    EXPECT_EQ(cells[0].text, u"300");
    session.ClearFilter();
    EXPECT_EQ(session.GetViewRowCount(), 1500u);

    // A failed load leaves no table, and the previous spool file is gone.
    session.SetFilterResult(matches);
    EXPECT_FALSE(session.LoadTable(session.GetDump()->GetTables().size(), nullptr, error));
    EXPECT_FALSE(session.HasTable());
    EXPECT_EQ(session.GetTableIndex(), -1);
    EXPECT_FALSE(session.IsFiltered());
    EXPECT_EQ(session.GetViewRowCount(), 0u);
    EXPECT_FALSE(session.RunFilter(*filter, nullptr, matches, error));

    ASSERT_TRUE(session.LoadTable(static_cast<size_t>(index), nullptr, error));
    const std::u16string second = session.GetTableData()->GetTempPath();
    EXPECT_NE(second, spool);
    session.Close();
    EXPECT_FALSE(session.IsOpen());
    EXPECT_FALSE(session.HasTable());
    std::vector<std::u16string> left;
    ASSERT_TRUE(platform::ListDirectory(GetTempDirectory(), left));
    for (const std::u16string& name : left) {
        EXPECT_NE(GetTempDirectory() + name, spool);
        EXPECT_NE(GetTempDirectory() + name, second);
    }
}
