#include <gtest/gtest.h>

#include "dump/DumpModel.h"
#include "sql/CreateTableParser.h"
#include "sql/SqlText.h"
#include "support/TestPaths.h"

namespace {

ColumnInfo Column(const char16_t* name, const char16_t* type, bool notNull = false) {
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.notNull = notNull;
    return c;
}

std::vector<std::u16string> Names(const TableEntry& t) {
    std::vector<std::u16string> out;
    for (const ColumnInfo& c : t.columns) out.push_back(c.name);
    return out;
}

}  // namespace

TEST(TableCatalogueTest, FindWithoutSchemaTakesFirstTableOfThatName) {
    TableCatalogue catalogue;
    catalogue.FindOrAdd(u"", u"a", u"t").rowCount = 1;
    catalogue.FindOrAdd(u"", u"b", u"t").rowCount = 2;

    const TableEntry* found = catalogue.Find(u"", u"", u"t");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->schema, u"a");
    EXPECT_EQ(catalogue.Find(u"", u"c", u"t"), nullptr);
    EXPECT_EQ(catalogue.Find(u"other", u"", u"t"), nullptr);
    EXPECT_EQ(catalogue.Find(u"", u"b", u"t")->rowCount, 2u);
}

TEST(TableCatalogueTest, KeysAreExactAndPositionsStable) {
    TableCatalogue catalogue;
    catalogue.FindOrAdd(u"", u"public", u"t");
    // A schema differing only in case is another table.
    catalogue.FindOrAdd(u"", u"Public", u"t");
    // The same names in another database of a whole-cluster script are another table.
    catalogue.FindOrAdd(u"db2", u"public", u"t");
    TableEntry& again = catalogue.FindOrAdd(u"", u"public", u"t");
    EXPECT_EQ(&again, &catalogue.Entries()[0]);
    ASSERT_EQ(catalogue.Entries().size(), 3u);
    EXPECT_EQ(catalogue.Entries()[1].schema, u"Public");
    EXPECT_EQ(catalogue.Entries()[2].database, u"db2");

    // An empty schema finds an existing table of any schema instead of adding one.
    TableEntry& bySchemaless = catalogue.FindOrAdd(u"db2", u"", u"t");
    EXPECT_EQ(&bySchemaless, &catalogue.Entries()[2]);

    // The key separator keeps names that only concatenate alike apart.
    catalogue.FindOrAdd(u"", u"ab", u"c");
    catalogue.FindOrAdd(u"", u"a", u"bc");
    EXPECT_EQ(catalogue.Entries().size(), 5u);

    catalogue.Clear();
    EXPECT_TRUE(catalogue.Entries().empty());
    EXPECT_EQ(catalogue.Find(u"", u"public", u"t"), nullptr);
}

TEST(TableEntryTest, NewEntryDefaultsAndQualifiedName) {
    TableCatalogue catalogue;
    TableEntry& t = catalogue.FindOrAdd(u"", u"s", u"t");
    EXPECT_EQ(t.QualifiedName(), u"s.t");
    EXPECT_FALSE(t.rowCountKnown);
    EXPECT_EQ(t.dataKind, TableDataKind_None);
    EXPECT_EQ(t.dataOffset, 0);
    TableEntry& bare = catalogue.FindOrAdd(u"", u"", u"顧客");
    EXPECT_EQ(bare.QualifiedName(), u"顧客");
}

TEST(TableEntryTest, ApplyCopyColumnsFollowsCopyList) {
    TableEntry t;
    t.columns = {Column(u"ID", u"integer", true), Column(u"Name", u"text")};

    t.copyColumns = {u"id", u"name", u"extra"};
    TableEntry extended = t;
    extended.ApplyCopyColumns();
    EXPECT_EQ(Names(extended), (std::vector<std::u16string>{u"ID", u"Name", u"extra"}));
    EXPECT_EQ(extended.columns[0].type, u"integer");
    EXPECT_TRUE(extended.columns[0].notNull);
    EXPECT_EQ(extended.columns[2].type, u"");
    EXPECT_FALSE(extended.columns[2].notNull);

    TableEntry reordered = t;
    reordered.copyColumns = {u"Name", u"ID"};
    reordered.ApplyCopyColumns();
    EXPECT_EQ(Names(reordered), (std::vector<std::u16string>{u"Name", u"ID"}));
    EXPECT_EQ(reordered.columns[1].type, u"integer");

    // Columns the COPY list leaves out are dropped.
    TableEntry narrowed = t;
    narrowed.copyColumns = {u"name"};
    narrowed.ApplyCopyColumns();
    EXPECT_EQ(Names(narrowed), (std::vector<std::u16string>{u"Name"}));

    // Only ASCII letters fold: a non-ASCII name must match exactly.
    TableEntry wide;
    wide.columns = {Column(u"Ä", u"text")};
    wide.copyColumns = {u"ä"};
    wide.ApplyCopyColumns();
    ASSERT_EQ(wide.columns.size(), 1u);
    EXPECT_EQ(wide.columns[0].name, u"ä");
    EXPECT_EQ(wide.columns[0].type, u"");

    TableEntry none = t;
    none.copyColumns.clear();
    none.ApplyCopyColumns();
    EXPECT_EQ(Names(none), (std::vector<std::u16string>{u"ID", u"Name"}));
}

TEST(TableEntryTest, SetColumnsConvertsWithCodePage) {
    TableEntry t;
    t.columns = {Column(u"old", u"text")};
    // "表" in Shift_JIS ends in 0x5C, which must not be read as a backslash.
    std::vector<ColumnDefinition> defs = {{"\x95\x5C", "integer", true}, {"b", "", false}};
    t.SetColumns(defs, 932);
    ASSERT_EQ(t.columns.size(), 2u);
    EXPECT_EQ(t.columns[0].name, u"表");
    EXPECT_EQ(t.columns[0].type, u"integer");
    EXPECT_TRUE(t.columns[0].notNull);
    EXPECT_EQ(t.columns[1].name, u"b");
}

TEST(DumpModelTest, FreshDumpInfoAndTrimDefinition) {
    DumpInfo info;
    EXPECT_EQ(info.codePage, 65001);
    EXPECT_TRUE(info.formatName.empty());
    EXPECT_FALSE(info.isCluster);
    EXPECT_EQ(TrimDefinition(u"\r\n\t CREATE TABLE t ();\r\n \n"), u"CREATE TABLE t ();");
    EXPECT_EQ(TrimDefinition(u" \r\n\t"), u"");
    EXPECT_EQ(TrimDefinition(u"\u3000x"), u"\u3000x");
}
