// Every custom archive and directory dump that pg_dump wrote for the fixtures, compared
// with what psql reported for the same tables.
#include <gtest/gtest.h>

#include <map>

#include "app/CreateDumpReader.h"
#include "dump/ArchiveDump.h"
#include "sql/Encoding.h"
#include "support/CollectSink.h"
#include "support/FixtureReading.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

std::vector<FixtureDump> ArchiveFixtures() {
    std::vector<FixtureDump> out;
    for (const FixtureDump& d : LoadFixtureDumps()) {
        if (d.format == "custom" || d.format == "directory") out.push_back(d);
    }
    return out;
}

}  // namespace

TEST(ArchiveFixtureTest, PropertiesOfEveryArchive) {
    const std::vector<FixtureDump> dumps = ArchiveFixtures();
    ASSERT_GE(dumps.size(), 10u);
    for (const FixtureDump& d : dumps) {
        SCOPED_TRACE(d.file);
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = CreateDumpReader(FixturePathW("dumps/" + d.file), error);
        ASSERT_TRUE(dump) << U8(error);
        const DumpInfo& info = dump->GetInfo();
        const bool directory = d.format == "directory";
        EXPECT_EQ(info.formatName, directory ? u"Directory" : u"Custom");
        EXPECT_EQ(dump->GetPath(), FixturePathW("dumps/" + d.file + (directory ? "/toc.dat" : "")));
        EXPECT_EQ(info.database, U16(d.database));
        EXPECT_EQ(info.encoding, U16(d.encoding));
        EXPECT_EQ(info.codePage, CodePageFromEncoding(U16(d.encoding)));
        EXPECT_EQ(info.compression, U16(d.compression));
        EXPECT_EQ(info.serverVersion.substr(0, 3), u"15.");
        EXPECT_EQ(info.dumpVersion, info.serverVersion);
        EXPECT_EQ(info.createdAt.size(), 19u);
        EXPECT_FALSE(info.isCluster);
        EXPECT_TRUE(info.databases.empty());
    }
}

TEST(ArchiveFixtureTest, TablesColumnsCountsAndDataMatchPsql) {
    for (const FixtureDump& d : ArchiveFixtures()) {
        SCOPED_TRACE(d.file);
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(d.file);
        ASSERT_TRUE(dump);
        const int codePage = dump->GetInfo().codePage;
        for (const ExpectedTable& expected : LoadExpectedTables(d.database)) {
            SCOPED_TRACE(expected.QualifiedName());
            const TableEntry* table = FindFixtureTable(*dump, expected.schema, expected.name);
            if (expected.kind == "matview") {
                // Its rows are not in the dump, only a REFRESH statement.
                EXPECT_EQ(table, nullptr);
                continue;
            }
            ASSERT_NE(table, nullptr);
            EXPECT_TRUE(table->rowCountKnown);

            // The columns in COPY order: generated columns are never copied.
            std::vector<const ExpectedColumn*> copied;
            for (const ExpectedColumn& c : expected.columns) {
                if (!c.generated) copied.push_back(&c);
            }
            if (d.content == "schema") {
                EXPECT_EQ(table->dataKind, TableDataKind_None);
                EXPECT_EQ(table->rowCount, 0u);
            } else {
                EXPECT_EQ(table->dataKind, TableDataKind_Copy);
                EXPECT_EQ(table->rowCount, expected.rows);
                ASSERT_EQ(table->columns.size(), copied.size());
                for (size_t i = 0; i < copied.size(); ++i) {
                    EXPECT_EQ(U8(table->columns[i].name), copied[i]->name);
                    // Without a CREATE TABLE (data-only, or columns inherited from a
                    // parent) the COPY list names a column but gives no type.
                    if (!table->columns[i].type.empty()) {
                        EXPECT_EQ(U8(table->columns[i].type), copied[i]->type);
                    }
                }
                CollectSink sink;
                std::u16string error;
                ASSERT_TRUE(dump->ReadTableData(*table, sink, nullptr, error)) << U8(error);
                EXPECT_EQ(CopyTextBeforeEndMarker(sink.bytes),
                          expected.CopyText(d.database, d.encoding == "SJIS"));
            }
            if (d.content == "data") {
                EXPECT_TRUE(table->ddl.empty());
                for (const ColumnInfo& c : table->columns) EXPECT_TRUE(c.type.empty());
            } else {
                EXPECT_EQ(table->ddl.rfind(u"CREATE ", 0), 0u) << U8(table->ddl);
                EXPECT_EQ(table->ddl.substr(table->ddl.size() - 2), u"\r\n");
            }
            (void)codePage;
        }
    }
}

TEST(ArchiveFixtureTest, DdlAttachmentsAndSchemaObjects) {
    std::unique_ptr<IDumpFile> dump = OpenAndScanFixture("kx_main.custom.dump");
    ASSERT_TRUE(dump);
    const TableEntry* simple = FindFixtureTable(*dump, "public", "simple");
    ASSERT_NE(simple, nullptr);
    const std::string ddl = U8(simple->ddl);
    // Each attached statement follows an empty line, in the order of the archive.
    EXPECT_NE(ddl.find(";\r\n\r\nALTER TABLE ONLY public.simple\n    ADD CONSTRAINT simple_pkey"),
              std::string::npos)
        << ddl;
    EXPECT_NE(ddl.find("\r\n\r\nCREATE INDEX simple_name_idx ON public.simple"), std::string::npos)
        << ddl;
    EXPECT_NE(ddl.find("\r\n\r\nCOMMENT ON TABLE public.simple IS"), std::string::npos) << ddl;
    EXPECT_NE(ddl.find("\r\n\r\nCOMMENT ON COLUMN public.simple."), std::string::npos) << ddl;

    // Both tables named items get their own constraints, qualified by schema.
    const TableEntry* items = FindFixtureTable(*dump, "public", "items");
    const TableEntry* salesItems = FindFixtureTable(*dump, "sales", "items");
    ASSERT_NE(items, nullptr);
    ASSERT_NE(salesItems, nullptr);
    EXPECT_EQ(U8(items->ddl).find("sales.items"), std::string::npos);
    EXPECT_EQ(U8(salesItems->ddl).find("public.items"), std::string::npos);

    // Partition attachments belong to the partitioned table, which holds no data itself.
    const TableEntry* measurements = FindFixtureTable(*dump, "public", "measurements");
    ASSERT_NE(measurements, nullptr);
    EXPECT_NE(U8(measurements->ddl)
                  .find("\r\n\r\nALTER TABLE ONLY public.measurements ATTACH "
                        "PARTITION public.measurements_east"),
              std::string::npos);
    EXPECT_EQ(measurements->dataKind, TableDataKind_None);
    EXPECT_TRUE(measurements->rowCountKnown);

    std::map<std::u16string, int> kinds;
    for (const DdlObject& o : dump->GetDdlObjects()) {
        ++kinds[o.objectType];
        EXPECT_FALSE(o.definition.empty());
        EXPECT_NE(o.definition.front(), u'\n');
        EXPECT_NE(o.definition.back(), u'\n');
        EXPECT_TRUE(o.database.empty());
    }
    for (const char16_t* ignored : {u"TABLE DATA", u"ENCODING", u"STDSTRINGS", u"SEARCHPATH",
                                    u"BLOBS", u"BLOB", u"SEQUENCE SET"}) {
        EXPECT_EQ(kinds.count(ignored), 0u) << U8(ignored);
    }
    for (const char16_t* present : {u"TABLE", u"VIEW", u"INDEX", u"FK CONSTRAINT", u"CONSTRAINT",
                                    u"COMMENT", u"SEQUENCE", u"FUNCTION", u"SCHEMA"}) {
        EXPECT_GT(kinds[present], 0) << U8(present);
    }
    EXPECT_EQ(kinds[u"TABLE"], 21);
}

TEST(ArchiveFixtureTest, PipeArchiveIsFoundByWalkingThenReadDirectly) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump =
        CreateDumpReader(FixturePathW("dumps/kx_main.custom-pipe.dump"), error);
    ASSERT_TRUE(dump) << U8(error);
    for (const TableEntry& t : dump->GetTables()) EXPECT_EQ(t.dataOffset, 0);

    // Before any scan a read has to search the data area for the block.
    const ExpectedTable many = [] {
        for (const ExpectedTable& t : LoadExpectedTables("kx_main")) {
            if (t.name == "many_rows") return t;
        }
        return ExpectedTable{};
    }();
    const TableEntry* table = FindFixtureTable(*dump, "public", "many_rows");
    ASSERT_NE(table, nullptr);
    CollectSink before;
    ASSERT_TRUE(dump->ReadTableData(*table, before, nullptr, error)) << U8(error);
    EXPECT_EQ(CopyTextBeforeEndMarker(before.bytes), many.CopyText("kx_main"));

    ASSERT_TRUE(dump->Scan(nullptr, error)) << U8(error);
    auto* archive = dynamic_cast<CArchiveDump*>(dump.get());
    ASSERT_NE(archive, nullptr);
    size_t withData = 0;
    for (const TableEntry& t : dump->GetTables()) {
        if (t.dataKind == TableDataKind_None) continue;
        ++withData;
        ASSERT_NE(t.dataOffset, 0) << U8(t.QualifiedName());
        EXPECT_EQ(archive->GetBlockPositions().at(t.dumpId), t.dataOffset);
    }
    EXPECT_EQ(withData, 20u);
    // The large-object data is a block of its own kind, not recorded as table data.
    EXPECT_EQ(archive->GetBlockPositions().size(), withData);

    // The offsets the scan found are the ones pg_dump records when it can seek.
    std::unique_ptr<IDumpFile> seekable =
        CreateDumpReader(FixturePathW("dumps/kx_main.custom.dump"), error);
    ASSERT_TRUE(seekable);
    for (const TableEntry& t : seekable->GetTables()) {
        if (t.dataKind == TableDataKind_None) continue;
        const TableEntry* piped = FindFixtureTable(*dump, U8(t.schema), U8(t.name));
        ASSERT_NE(piped, nullptr);
        EXPECT_EQ(piped->dataOffset, t.dataOffset) << U8(t.QualifiedName());
    }
}

TEST(ArchiveFixtureTest, SchemaOnlyTablesReadNothing) {
    std::unique_ptr<IDumpFile> dump = OpenAndScanFixture("kx_main.custom-schema.dump");
    ASSERT_TRUE(dump);
    for (const TableEntry& t : dump->GetTables()) {
        CollectSink sink;
        std::u16string error;
        EXPECT_TRUE(dump->ReadTableData(t, sink, nullptr, error));
        EXPECT_EQ(sink.writes, 0u);
    }
}
