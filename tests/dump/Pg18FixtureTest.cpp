// The dumps PostgreSQL 18's pg_dump and pg_dumpall wrote for the fixtures: lz4 and zstd
// in archives, directory dumps and scripts, an archive written to a pipe, a tar archive.
// Every table's COPY text must be byte for byte what psql reported, which the fixture
// script checked to be pg_restore 18's COPY text of the same table.
#include <gtest/gtest.h>

#include <set>

#include "app/CreateDumpReader.h"
#include "dump/ArchiveDump.h"
#include "plain/PlainDump.h"
#include "platform/File.h"
#include "sql/Encoding.h"
#include "store/CopyLine.h"
#include "support/CliRunner.h"
#include "support/CollectSink.h"
#include "support/FixtureReading.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

std::u16string FormatNameOf(const FixtureDump& d) {
    if (d.format == "custom") return u"Custom";
    if (d.format == "directory") return u"Directory";
    if (d.format == "tar") return u"Tar";
    return d.compression == "none" ? u"Plain SQL" : u"Plain SQL (" + U16(d.compression) + u")";
}

}  // namespace

TEST(Pg18FixtureTest, PropertiesOfEveryDump) {
    const std::vector<FixtureDump> dumps = LoadPg18FixtureDumps();
    ASSERT_GE(dumps.size(), 11u);
    std::set<std::string> kinds;
    for (const FixtureDump& d : dumps) {
        SCOPED_TRACE(d.file);
        kinds.insert(d.format + "/" + d.compression);
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(d.file);
        ASSERT_TRUE(dump);
        const DumpInfo& info = dump->GetInfo();
        EXPECT_EQ(info.formatName, FormatNameOf(d));
        EXPECT_EQ(info.compression, U16(d.compression));
        if (d.database == "cluster") {
            EXPECT_TRUE(info.isCluster);
            EXPECT_EQ(info.databases.size(), 5u);
            continue;
        }
        EXPECT_EQ(info.serverVersion.substr(0, 3), u"15.");
        EXPECT_EQ(info.dumpVersion.substr(0, 3), u"18.");
        EXPECT_EQ(info.encoding, U16(d.encoding));
        if (auto* archive = dynamic_cast<CArchiveDump*>(dump.get())) {
            EXPECT_EQ(archive->GetHeader().version, ArchiveVersion(1, 16));
            EXPECT_EQ(info.database, U16(d.database));
        }
    }
    // What the fixtures must cover.
    for (const char* kind :
         {"custom/gzip", "custom/none", "custom/lz4", "custom/zstd", "directory/lz4",
          "directory/zstd", "plain/lz4", "plain/zstd", "tar/none"}) {
        EXPECT_EQ(kinds.count(kind), 1u) << kind;
    }
}

TEST(Pg18FixtureTest, EveryTableMatchesPsqlByteForByte) {
    for (const FixtureDump& d : LoadPg18FixtureDumps()) {
        SCOPED_TRACE(d.file);
        std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(d.file);
        ASSERT_TRUE(dump);
        const bool cluster = d.database == "cluster";
        const std::vector<std::string> databases =
            cluster ? std::vector<std::string>{"kx_eucjp", "kx_latin1", "kx_main"}
                    : std::vector<std::string>{d.database};
        for (const std::string& database : databases) {
            const int codePage = CodePageFromEncoding(database == "kx_eucjp"    ? u"EUC_JP"
                                                      : database == "kx_latin1" ? u"LATIN1"
                                                                                : u"UTF8");
            for (const ExpectedTable& expected : LoadExpectedTables(database)) {
                SCOPED_TRACE(database + ": " + expected.QualifiedName());
                const TableEntry* table = FindFixtureTable(*dump, expected.schema, expected.name,
                                                           cluster ? database : "");
                if (expected.kind == "matview") {
                    EXPECT_EQ(table, nullptr);
                    continue;
                }
                ASSERT_NE(table, nullptr);
                EXPECT_EQ(table->dataKind, TableDataKind_Copy);
                EXPECT_TRUE(table->rowCountKnown);
                EXPECT_EQ(table->rowCount, expected.rows);
                size_t copied = 0;
                for (const ExpectedColumn& c : expected.columns) copied += c.generated ? 0 : 1;
                EXPECT_EQ(table->columns.size(), copied);

                CollectSink sink;
                std::u16string error;
                ASSERT_TRUE(dump->ReadTableData(*table, sink, nullptr, error)) << U8(error);
                const std::string text = CopyTextBeforeEndMarker(sink.bytes);
                EXPECT_TRUE(text == expected.CopyText(database)) << text;
                EXPECT_EQ(DecodeCopyCells(text, codePage), expected.Cells(database));
            }
        }
    }
}

TEST(Pg18FixtureTest, NewerTocEntriesStayAmongTheDdl) {
    std::unique_ptr<IDumpFile> dump = OpenAndScanFixture("pg18/kx_main.custom-zstd.dump");
    ASSERT_TRUE(dump);
    auto* archive = dynamic_cast<CArchiveDump*>(dump.get());
    ASSERT_NE(archive, nullptr);
    std::set<int32_t> statistics;
    for (const TocEntry& e : archive->GetToc()) {
        if (e.desc == "STATISTICS DATA") statistics.insert(e.dumpId);
    }
    // One for every table, index and materialized view of kx_main.
    EXPECT_GE(statistics.size(), 21u);
    EXPECT_EQ(dump->GetTables().size(), 21u);
    for (const TableEntry& t : dump->GetTables()) {
        EXPECT_EQ(statistics.count(t.dumpId), 0u) << U8(t.QualifiedName());
    }
    size_t shown = 0;
    for (const DdlObject& o : dump->GetDdlObjects()) {
        if (o.objectType != u"STATISTICS DATA") continue;
        ++shown;
        EXPECT_NE(U8(o.definition).find("pg_restore_"), std::string::npos) << U8(o.definition);
    }
    EXPECT_EQ(shown, statistics.size());
    // The large object's data block is a block of its own kind; the scan still counts.
    EXPECT_EQ(archive->GetBlockPositions().size(), 20u);
}

TEST(Pg18FixtureTest, ZstdArchiveWrittenToAPipe) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump =
        CreateDumpReader(FixturePathW("dumps/pg18/kx_main.custom-zstd-pipe.dump"), error);
    ASSERT_TRUE(dump) << U8(error);
    for (const TableEntry& t : dump->GetTables()) EXPECT_EQ(t.dataOffset, 0);
    const ExpectedTable many = [] {
        for (const ExpectedTable& t : LoadExpectedTables("kx_main")) {
            if (t.name == "many_rows") return t;
        }
        return ExpectedTable{};
    }();
    const TableEntry* table = FindFixtureTable(*dump, "public", "many_rows", "");
    ASSERT_NE(table, nullptr);
    // Before a scan the read searches the data area; after it, it seeks.
    for (int pass = 0; pass < 2; ++pass) {
        CollectSink sink;
        ASSERT_TRUE(dump->ReadTableData(*table, sink, nullptr, error)) << U8(error);
        EXPECT_EQ(CopyTextBeforeEndMarker(sink.bytes), many.CopyText("kx_main"));
        if (pass == 0) {
            ASSERT_TRUE(dump->Scan(nullptr, error)) << U8(error);
        }
    }
    auto* archive = dynamic_cast<CArchiveDump*>(dump.get());
    for (const TableEntry& t : dump->GetTables()) {
        if (t.dataKind == TableDataKind_None) continue;
        EXPECT_NE(t.dataOffset, 0);
        EXPECT_EQ(archive->GetBlockPositions().at(t.dumpId), t.dataOffset);
    }
}

TEST(Pg18FixtureTest, ExpandedScriptGoesWithTheReader) {
    for (const char* file : {"pg18/kx_main.sql.lz4", "pg18/kx_main.sql.zst"}) {
        SCOPED_TRACE(file);
        std::u16string tempPath;
        {
            std::unique_ptr<IDumpFile> dump = OpenAndScanFixture(file);
            ASSERT_TRUE(dump);
            auto* plain = dynamic_cast<CPlainDump*>(dump.get());
            ASSERT_NE(plain, nullptr);
            tempPath = plain->GetTempPath();
            EXPECT_EQ(plain->GetReadPath(), tempPath);
            EXPECT_EQ(platform::GetPathKind(tempPath), platform::PathKind::File);
        }
        EXPECT_EQ(platform::GetPathKind(tempPath), platform::PathKind::Missing);
    }
    // A damaged script says so and leaves no expanded copy behind.
    ScratchDir dir;
    std::string bytes = ReadFileBytes(FixturePath("dumps/pg18/kx_main.sql.zst"));
    const std::string cut = dir.Write("cut.sql.zst", bytes.substr(0, bytes.size() / 2));
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16(cut), error);
    ASSERT_TRUE(dump);
    EXPECT_FALSE(dump->Scan(nullptr, error));
    EXPECT_EQ(error, u"zstd データが途中で終わっています。");
    EXPECT_TRUE(dynamic_cast<CPlainDump*>(dump.get())->GetTempPath().empty());
}

TEST(Pg18FixtureTest, FilterAndExportGiveWhatGzipGives) {
    const std::string args =
        " public.simple --where 'price >= 1.5 OR flag IS NULL' --columns id,name,price";
    const CliResult reference =
        RunCli("export " + ShellQuote(FixturePath("dumps/kx_main.custom.dump")) + args);
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    ASSERT_GT(std::count(reference.out.begin(), reference.out.end(), '\n'), 3);
    for (const char* file : {"pg18/kx_main.custom-zstd.dump", "pg18/kx_main.custom-lz4.dump",
                             "pg18/kx_main.dir-lz4", "pg18/kx_main.tar", "pg18/kx_main.sql.zst"}) {
        SCOPED_TRACE(file);
        const CliResult r =
            RunCli("export " + ShellQuote(FixturePath(std::string("dumps/") + file)) + args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, reference.out);
    }
}
