#include <gtest/gtest.h>

#include <memory>

#include "app/DumpSession.h"
#include "app/ExportRequest.h"
#include "filter/RowFilter.h"
#include "store/TableData.h"
#include "support/TestPaths.h"

namespace {

std::unique_ptr<IDumpFile> OpenFixture(const std::string& file) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump =
        CDumpSession::OpenDump(FixturePathW("dumps/" + file), true, nullptr, error);
    EXPECT_TRUE(dump) << U8(error);
    return dump;
}

const TableEntry* FindTable(const IDumpFile& dump, const std::u16string& database,
                            const std::u16string& name) {
    for (const TableEntry& t : const_cast<IDumpFile&>(dump).GetTables()) {
        if (t.database == database && t.name == name) return &t;
    }
    return nullptr;
}

}  // namespace

TEST(ExportRequestTest, CsvSummaryAndFinishedMessage) {
    EXPECT_EQ(MakeCsvExportInfo(u"public.orders", 1234, true, 56),
              u"public.orders  (1,234 行、絞り込み 56 行)");
    EXPECT_EQ(MakeCsvExportInfo(u"public.orders", 1234, false, 56), u"public.orders  (1,234 行)");
    EXPECT_EQ(MakeCsvExportInfo(u"s.t", 0, true, 0), u"s.t  (0 行、絞り込み 0 行)");
    EXPECT_EQ(MakeCsvFinishedMessage(1234567, u"/tmp/a b.csv"),
              u"CSV出力が終了しました(1,234,567 行)。\n/tmp/a b.csv");
}

TEST(ExportRequestTest, RowsOfEachScopeFollowTheFilterAndThePage) {
    CDumpSession session;
    EXPECT_TRUE(ExportRowsOf(session, CsvScope_AllRows, 0, 10).empty());
    session.SetDump(OpenFixture("kx_main.custom.dump"));
    std::u16string error;
    const ptrdiff_t index = session.FindTable(u"public.many_rows", nullptr, error);
    ASSERT_GE(index, 0);
    ASSERT_TRUE(session.LoadTable(static_cast<size_t>(index), nullptr, error)) << U8(error);

    std::vector<uint64_t> all = ExportRowsOf(session, CsvScope_AllRows, 20, 10);
    ASSERT_EQ(all.size(), 1500u);
    EXPECT_EQ(all.front(), 0u);
    EXPECT_EQ(all.back(), 1499u);
    EXPECT_EQ(ExportRowsOf(session, CsvScope_CurrentPage, 1490, 100),
              (std::vector<uint64_t>{1490, 1491, 1492, 1493, 1494, 1495, 1496, 1497, 1498, 1499}));

    std::unique_ptr<CRowFilter> filter;
    ASSERT_TRUE(session.PrepareFilter(u"n % 100 = 0", u"", filter, error)) << U8(error);
    std::vector<size_t> matches;
    ASSERT_TRUE(session.RunFilter(*filter, nullptr, matches, error)) << U8(error);
    session.SetFilterResult(matches);
    // All rows stay all rows while filtered; the page is a page of matches.
    EXPECT_EQ(ExportRowsOf(session, CsvScope_AllRows, 0, 10).size(), 1500u);
    const std::vector<uint64_t> filtered = ExportRowsOf(session, CsvScope_FilteredRows, 3, 2);
    ASSERT_EQ(filtered.size(), 15u);
    EXPECT_EQ(filtered[0], 99u);
    EXPECT_EQ(filtered[14], 1499u);
    EXPECT_EQ(ExportRowsOf(session, CsvScope_CurrentPage, 12, 10),
              (std::vector<uint64_t>{1299, 1399, 1499}));
    EXPECT_TRUE(ExportRowsOf(session, CsvScope_CurrentPage, 20, 10).empty());
}

TEST(ExportRequestTest, DdlTextsOfATableAndOfEachDatabase) {
    std::unique_ptr<IDumpFile> cluster = OpenFixture("cluster.dumpall.sql");
    ASSERT_TRUE(cluster);
    const TableEntry* notes = FindTable(*cluster, u"kx_eucjp", u"notes");
    ASSERT_NE(notes, nullptr);

    DdlTexts texts = GatherDdlTexts(*cluster, notes, u"kx_eucjp");
    EXPECT_EQ(texts.tableName, u"public.notes");
    EXPECT_EQ(texts.tableDdl, notes->ddl);
    EXPECT_EQ(U8(texts.dumpDdl).rfind("CREATE DATABASE kx_eucjp WITH", 0), 0u);
    EXPECT_NE(U8(texts.dumpDdl).find("CREATE TABLE public.notes"), std::string::npos);
    EXPECT_EQ(U8(texts.dumpDdl).find("kx_latin1"), std::string::npos);
    EXPECT_EQ(U8(texts.dumpDdl).find("CREATE ROLE"), std::string::npos);

    // "(global)" is what lies outside every database: the roles, no database.
    texts = GatherDdlTexts(*cluster, nullptr, u"(global)");
    EXPECT_TRUE(texts.tableName.empty());
    EXPECT_TRUE(texts.tableDdl.empty());
    EXPECT_EQ(U8(texts.dumpDdl).rfind("CREATE ROLE postgres;\r\n\r\n", 0), 0u);
    EXPECT_EQ(U8(texts.dumpDdl).find("DATABASE"), std::string::npos);
    EXPECT_EQ(texts.dumpDdl, GatherDdlTexts(*cluster, nullptr, u"").dumpDdl);
    EXPECT_TRUE(GatherDdlTexts(*cluster, nullptr, u"nosuch").dumpDdl.empty());

    // A one-database dump shows every object whatever the box says.
    std::unique_ptr<IDumpFile> one = OpenFixture("kx_main.custom.dump");
    ASSERT_TRUE(one);
    const std::u16string whole = GatherDdlTexts(*one, nullptr, u"kx_main").dumpDdl;
    EXPECT_EQ(whole, GatherDdlTexts(*one, nullptr, u"-").dumpDdl);
    size_t count = 0;
    for (size_t at = whole.find(u"\r\n\r\n"); at != std::u16string::npos;
         at = whole.find(u"\r\n\r\n", at + 4)) {
        ++count;
    }
    EXPECT_GE(count, one->GetDdlObjects().size());
}
