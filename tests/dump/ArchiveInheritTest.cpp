// A table that inherits shows the same columns whichever kind of dump it is read from.
#include <gtest/gtest.h>

#include "app/CreateDumpReader.h"
#include "dump/ArchiveDump.h"
#include "sql/InheritedColumns.h"
#include "support/FixtureReading.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

std::string Describe(const TableEntry& table) {
    std::string text;
    for (const ColumnInfo& c : table.columns) {
        text += U8(c.name) + " " + U8(c.type) + (c.notNull ? " NOT NULL" : "") + "; ";
    }
    return text;
}

}  // namespace

TEST(ArchiveInheritTest, ArchiveColumnsEqualThePlainScriptsColumns) {
    std::unique_ptr<IDumpFile> plain = OpenAndScanFixture("kx_main.sql");
    ASSERT_TRUE(plain);
    int archives = 0;
    for (const FixtureDump& d : LoadFixtureDumps()) {
        if (d.database != "kx_main" || d.content == "data" ||
            (d.format != "custom" && d.format != "directory")) {
            continue;
        }
        SCOPED_TRACE(d.file);
        ++archives;
        std::unique_ptr<IDumpFile> archive = OpenAndScanFixture(d.file);
        ASSERT_TRUE(archive);
        // A dump with schema only lists generated columns, which a COPY list leaves out.
        for (const TableEntry& expected : plain->GetTables()) {
            if (d.content != "all") break;
            const TableEntry* table = nullptr;
            for (const TableEntry& t : archive->GetTables()) {
                if (t.schema == expected.schema && t.name == expected.name) table = &t;
            }
            ASSERT_NE(table, nullptr) << U8(expected.QualifiedName());
            EXPECT_EQ(Describe(*table), Describe(expected)) << U8(expected.QualifiedName());
        }
        const TableEntry* child = nullptr;
        for (const TableEntry& t : archive->GetTables()) {
            if (t.name == u"child_t") child = &t;
        }
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(Describe(*child), "id integer; name text; extra text; ");
    }
    EXPECT_EQ(archives, 6);
}

TEST(ArchiveInheritTest, ParentsAndMerging) {
    std::vector<std::pair<std::string, std::string>> parents;
    struct Case {
        const char* statement;
        bool has;
        std::vector<std::pair<std::string, std::string>> parents;
    };
    const Case cases[] = {
        {"CREATE TABLE public.c (x text) INHERITS (public.p);", true, {{"public", "p"}}},
        {"CREATE UNLOGGED TABLE c (\"a)\" text, b numeric(3,1))\nINHERITS (p1, \"S\".\"P 2\")",
         true,
         {{"", "p1"}, {"S", "P 2"}}},
        {"CREATE TABLE c () INHERITS (p);", true, {{"", "p"}}},
        {"CREATE TABLE c (x text);", false, {}},
        {"CREATE TABLE c (x text) INHERITS (p", false, {{"", "p"}}},
        {"CREATE TABLE c (x text INHERITS (p)", false, {}},
        {"CREATE VIEW v AS SELECT 1", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(ReadInheritedParents(c.statement, parents), c.has);
        EXPECT_EQ(parents, c.parents);
    }

    const std::vector<ColumnInfo> p1 = {{u"id", u"integer", true}, {u"name", u"text", false}};
    const std::vector<ColumnInfo> p2 = {{u"name", u"text", false}, {u"at", u"date", false}};
    const std::vector<ColumnInfo> own = {
        {u"extra", u"text", false}, {u"name", u"", true}, {u"id", u"bigint", false}};
    const std::vector<ColumnInfo> merged = MergeInheritedColumns({&p1, &p2}, own);
    ASSERT_EQ(merged.size(), 4u);
    EXPECT_EQ(merged[0].name, u"id");
    EXPECT_EQ(merged[0].type, u"bigint");
    EXPECT_TRUE(merged[0].notNull);
    EXPECT_EQ(merged[1].name, u"name");
    EXPECT_EQ(merged[1].type, u"text");
    EXPECT_TRUE(merged[1].notNull);
    EXPECT_EQ(merged[2].name, u"at");
    EXPECT_EQ(merged[3].name, u"extra");
}
