// Every plain script that pg_dump and pg_dumpall wrote for the fixtures, compared with
// what psql reported for the same tables.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/CreateDumpReader.h"
#include "plain/PlainDump.h"
#include "platform/File.h"
#include "sql/Encoding.h"
#include "store/CopyLine.h"
#include "support/CollectSink.h"
#include "support/FixtureReading.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

std::vector<FixtureDump> PlainFixtures() {
    std::vector<FixtureDump> out;
    for (const FixtureDump& d : LoadFixtureDumps()) {
        if (d.format == "plain") out.push_back(d);
    }
    return out;
}

// The databases of a fixture dump, with the name its tables carry in the catalogue.
std::vector<std::pair<std::string, std::string>> DatabasesOf(const FixtureDump& d) {
    if (d.database != "cluster") return {{d.database, ""}};
    return {{"kx_eucjp", "kx_eucjp"}, {"kx_latin1", "kx_latin1"}, {"kx_main", "kx_main"}};
}

}  // namespace

TEST(PlainFixtureTest, PropertiesOfEveryScript) {
    const std::vector<FixtureDump> dumps = PlainFixtures();
    ASSERT_GE(dumps.size(), 11u);
    for (const FixtureDump& d : dumps) {
        SCOPED_TRACE(d.file);
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(d.file);
        ASSERT_TRUE(dump);
        const DumpInfo& info = dump->GetInfo();
        const bool gzip = d.compression == "gzip";
        const bool cluster = d.database == "cluster";
        EXPECT_EQ(info.formatName, gzip ? u"Plain SQL (gzip)" : u"Plain SQL");
        EXPECT_EQ(info.compression, U16(d.compression));
        EXPECT_EQ(dump->GetPath(), FixturePathW("dumps/" + d.file));
        EXPECT_EQ(info.isCluster, cluster);
        if (cluster) {
            // The last database of the cluster is UTF8; every one sets its own encoding.
            EXPECT_EQ(info.encoding, u"UTF8");
            EXPECT_EQ(info.databases,
                      (std::vector<std::u16string>{u"template1", u"kx_eucjp", u"kx_latin1",
                                                   u"kx_main", u"postgres"}));
            // pg_dumpall's own header has no version lines: they come from the first
            // database's, the versions the fixture script recorded.
            const std::string versions = ReadFileBytes(FixturePath("expected/versions.txt"));
            const std::string tool = versions.substr(0, versions.find('\n'));
            const std::string prefix = "pg_dump (PostgreSQL) ";
            ASSERT_EQ(tool.rfind(prefix, 0), 0u) << tool;
            EXPECT_EQ(info.dumpVersion, U16(tool.substr(prefix.size())));
            EXPECT_EQ(info.serverVersion, info.dumpVersion);
        } else {
            EXPECT_EQ(info.encoding, U16(d.encoding));
            EXPECT_TRUE(info.databases.empty());
            EXPECT_EQ(info.serverVersion.substr(0, 3), u"15.");
            EXPECT_EQ(info.dumpVersion, info.serverVersion);
        }
        EXPECT_EQ(info.codePage, CodePageFromEncoding(info.encoding));
        EXPECT_TRUE(info.database.empty());
        EXPECT_TRUE(info.createdAt.empty());
    }
}

TEST(PlainFixtureTest, TablesColumnsCountsAndRowsMatchPsql) {
    for (const FixtureDump& d : PlainFixtures()) {
        SCOPED_TRACE(d.file);
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(d.file);
        ASSERT_TRUE(dump);
        auto* plain = dynamic_cast<CPlainDump*>(dump.get());
        ASSERT_NE(plain, nullptr);
        const bool inserts = d.rows != "copy";
        size_t expectedTables = 0;
        for (const auto& [database, catalogueName] : DatabasesOf(d)) {
            const int codePage = d.encoding == "mixed"
                                     ? CodePageFromEncoding(database == "kx_eucjp"    ? u"EUC_JP"
                                                            : database == "kx_latin1" ? u"LATIN1"
                                                                                      : u"UTF8")
                                     : CodePageFromEncoding(U16(d.encoding));
            for (const ExpectedTable& expected : LoadExpectedTables(database)) {
                SCOPED_TRACE(database + ": " + expected.QualifiedName());
                const TableEntry* table =
                    FindFixtureTable(*dump, expected.schema, expected.name, catalogueName);
                if (expected.kind == "matview") {
                    // Its rows are not in the dump, only a REFRESH statement.
                    EXPECT_EQ(table, nullptr);
                    continue;
                }
                ASSERT_NE(table, nullptr);
                ++expectedTables;
                EXPECT_EQ(plain->TableCodePage(*table), codePage);

                // An INSERT script without a column list carries generated columns as
                // DEFAULT; the COPY list and the column list leave them out.
                const bool withGenerated = d.rows == "inserts" || d.rows == "inserts-3";
                std::vector<const ExpectedColumn*> columns;
                for (const ExpectedColumn& c : expected.columns) {
                    if (withGenerated || !c.generated) columns.push_back(&c);
                }
                ASSERT_EQ(table->columns.size(), columns.size());
                for (size_t i = 0; i < columns.size(); ++i) {
                    EXPECT_EQ(U8(table->columns[i].name), columns[i]->name);
                    EXPECT_EQ(U8(table->columns[i].type), columns[i]->type);
                }
                EXPECT_EQ(table->ddl.rfind(u"CREATE ", 0), 0u) << U8(table->ddl);

                if (inserts && expected.rows == 0) {
                    // No INSERT statement: the script holds nothing for the table.
                    EXPECT_EQ(table->dataKind, TableDataKind_None);
                    continue;
                }
                EXPECT_EQ(table->dataKind, inserts ? TableDataKind_Insert : TableDataKind_Copy);
                EXPECT_TRUE(table->rowCountKnown);
                EXPECT_EQ(table->rowCount, expected.rows);

                CollectSink sink;
                std::u16string error;
                ASSERT_TRUE(dump->ReadTableData(*table, sink, nullptr, error)) << U8(error);
                const std::string want = expected.CopyText(database, d.encoding == "SJIS");
                if (!inserts) {
                    EXPECT_TRUE(sink.bytes == want) << sink.bytes;
                    continue;
                }
                // INSERT values come back through COPY escaping: compare what they mean.
                auto cells = DecodeCopyCells(sink.bytes, codePage);
                if (withGenerated) {
                    for (size_t i = expected.columns.size(); i-- > 0;) {
                        if (!expected.columns[i].generated) continue;
                        for (auto& row : cells) {
                            ASSERT_GT(row.size(), i);
                            EXPECT_FALSE(row[i].has_value());
                            row.erase(row.begin() + static_cast<ptrdiff_t>(i));
                        }
                    }
                }
                EXPECT_EQ(cells, expected.Cells(database));
                if (!withGenerated) {
                    EXPECT_TRUE(sink.bytes == want) << sink.bytes;
                }
            }
        }
        // kx_main also has the partitioned parent, which holds no rows of its own.
        const bool withParent = d.database == "kx_main" || d.database == "cluster";
        EXPECT_EQ(dump->GetTables().size(), expectedTables + (withParent ? 1 : 0));
    }
}

TEST(PlainFixtureTest, DdlAttachmentsAndSchemaObjects) {
    std::vector<std::u16string> log;
    std::unique_ptr<IDumpFile> dump = OpenAndScanFixture("kx_main.sql", &log);
    ASSERT_TRUE(dump);
    const TableEntry* simple = FindFixtureTable(*dump, "public", "simple", "");
    ASSERT_NE(simple, nullptr);
    const std::string ddl = U8(simple->ddl);
    for (const char* attached :
         {";\r\n\r\nALTER TABLE public.simple OWNER TO postgres;\r\n",
          "\r\n\r\nCOMMENT ON TABLE public.simple IS 'Fruit; with a semicolon and ''quotes''';\r\n",
          "\r\n\r\nCOMMENT ON COLUMN public.simple.price IS",
          "\r\n\r\nALTER TABLE ONLY public.simple\n    ADD CONSTRAINT simple_pkey",
          "\r\n\r\nCREATE INDEX simple_name_idx ON public.simple USING btree (name);\r\n"}) {
        EXPECT_NE(ddl.find(attached), std::string::npos) << attached << "\n" << ddl;
    }
    const TableEntry* items = FindFixtureTable(*dump, "public", "items", "");
    const TableEntry* salesItems = FindFixtureTable(*dump, "sales", "items", "");
    ASSERT_NE(items, nullptr);
    ASSERT_NE(salesItems, nullptr);
    EXPECT_EQ(U8(items->ddl).find("sales.items"), std::string::npos);
    EXPECT_EQ(U8(salesItems->ddl).find("public.items"), std::string::npos);
    const TableEntry* measurements = FindFixtureTable(*dump, "public", "measurements", "");
    ASSERT_NE(measurements, nullptr);
    EXPECT_NE(U8(measurements->ddl).find("ATTACH PARTITION public.measurements_east"),
              std::string::npos);
    // Inherited columns come with their types from the parent.
    const TableEntry* child = FindFixtureTable(*dump, "public", "child_t", "");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(U8(child->columns[0].type), "integer");

    std::map<std::u16string, int> kinds;
    for (const DdlObject& o : dump->GetDdlObjects()) {
        ++kinds[o.objectType];
        EXPECT_FALSE(o.definition.empty());
        EXPECT_NE(o.definition.front(), u'\n');
        EXPECT_NE(o.definition.back(), u'\n');
        EXPECT_TRUE(o.database.empty());
    }
    EXPECT_EQ(kinds[u"TABLE"], 21);
    // CREATE and ALTER ... OWNER TO of two functions and two schemas.
    EXPECT_EQ(kinds[u"FUNCTION"], 4);
    EXPECT_EQ(kinds[u"SCHEMA"], 4);
    for (const char16_t* present : {u"VIEW", u"INDEX", u"COMMENT", u"SEQUENCE", u"ALTER TABLE"}) {
        EXPECT_GT(kinds[present], 0) << U8(present);
    }
    // The function bodies hold semicolons inside their dollar quotes.
    for (const DdlObject& o : dump->GetDdlObjects()) {
        if (o.objectType == u"FUNCTION") {
            EXPECT_EQ(o.definition.back(), u';');
        }
    }
    EXPECT_NE(std::find(log.begin(), log.end(), u"[copy] public.many_rows rows=1500"), log.end());
}

TEST(PlainFixtureTest, ClusterScriptKeepsEachDatabaseApart) {
    for (const char* file : {"cluster.dumpall.sql", "cluster.dumpall.sql.gz"}) {
        SCOPED_TRACE(file);
        std::vector<std::u16string> log;
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(file, &log);
        ASSERT_TRUE(dump);
        std::set<std::u16string> databases;
        for (const TableEntry& t : dump->GetTables()) databases.insert(t.database);
        EXPECT_EQ(databases, (std::set<std::u16string>{u"kx_eucjp", u"kx_latin1", u"kx_main"}));
        std::set<std::u16string> ddlDatabases;
        for (const DdlObject& o : dump->GetDdlObjects()) ddlDatabases.insert(o.database);
        // Roles come before the first \connect; template1 and postgres hold no objects.
        EXPECT_EQ(ddlDatabases,
                  (std::set<std::u16string>{u"", u"kx_eucjp", u"kx_latin1", u"kx_main"}));
        const TableEntry* hyou = FindFixtureTable(*dump, "日本語スキーマ", "表", "kx_eucjp");
        ASSERT_NE(hyou, nullptr);
        EXPECT_NE(U8(hyou->ddl).find("COMMENT ON TABLE"), std::string::npos);
        EXPECT_NE(std::find(log.begin(), log.end(), u"[connect] kx_main"), log.end());
    }
}

TEST(PlainFixtureTest, ClusterDatabaseStatementsBelongToTheDatabaseTheyCreate) {
    const std::vector<std::string> databases{"kx_eucjp", "kx_latin1", "kx_main"};
    for (const char* file :
         {"cluster.dumpall.sql", "cluster.dumpall.sql.gz", "pg18/cluster.dumpall.sql.zst"}) {
        SCOPED_TRACE(file);
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(file);
        ASSERT_TRUE(dump);
        for (const std::string& database : databases) {
            SCOPED_TRACE(database);
            // The database's own DDL starts with its CREATE DATABASE and owner, and holds
            // no other database's.
            std::vector<std::string> statements;
            for (const DdlObject& o : dump->GetDdlObjects()) {
                if (U8(o.database) == database) statements.push_back(U8(o.definition));
            }
            ASSERT_GE(statements.size(), 2u);
            EXPECT_EQ(statements[0].rfind("CREATE DATABASE " + database + " WITH", 0), 0u)
                << statements[0];
            EXPECT_EQ(statements[1], "ALTER DATABASE " + database + " OWNER TO postgres;");
            for (size_t i = 1; i < statements.size(); ++i) {
                EXPECT_EQ(statements[i].find("CREATE DATABASE"), std::string::npos)
                    << statements[i];
            }
        }
        for (const DdlObject& o : dump->GetDdlObjects()) {
            if (o.objectType == u"DATABASE") {
                EXPECT_NE(U8(o.definition).find(" " + U8(o.database) + " "), std::string::npos)
                    << U8(o.definition);
            }
        }
    }
}

TEST(PlainFixtureTest, ExpandedGzipScriptGoesWithTheReader) {
    std::u16string tempPath;
    {
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture("kx_main.gzip9.sql.gz");
        ASSERT_TRUE(dump);
        auto* plain = dynamic_cast<CPlainDump*>(dump.get());
        ASSERT_NE(plain, nullptr);
        tempPath = plain->GetTempPath();
        EXPECT_FALSE(tempPath.empty());
        EXPECT_EQ(plain->GetReadPath(), tempPath);
        EXPECT_EQ(tempPath.substr(tempPath.size() - 4), u".sql");
        EXPECT_EQ(platform::GetPathKind(tempPath), platform::PathKind::File);
    }
    EXPECT_EQ(platform::GetPathKind(tempPath), platform::PathKind::Missing);
}
