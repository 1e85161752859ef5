// The dump check on real dumps and on copies damaged in each way a backup can be.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/CheckSink.h"
#include "app/CreateDumpReader.h"
#include "app/DumpCheck.h"
#include "dump/TarIndex.h"
#include "support/ArchiveWriter.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"

namespace fs = std::filesystem;

namespace {

struct Checked {
    std::unique_ptr<IDumpFile> dump;
    std::vector<TableCheck> checks;
    std::u16string error;
};

Checked CheckPath(const std::u16string& path) {
    Checked c;
    c.dump = CreateDumpReader(path, c.error);
    if (!c.dump) return c;
    if (c.dump->CatalogueNeedsScan() && !c.dump->Scan(nullptr, c.error)) {
        c.dump.reset();
        return c;
    }
    std::vector<size_t> all(c.dump->GetTables().size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    EXPECT_TRUE(CheckDump(*c.dump, all, nullptr, c.checks, c.error));
    return c;
}

const TableCheck* Find(const Checked& c, const std::u16string& name) {
    for (const TableCheck& check : c.checks) {
        if (c.dump->GetTables()[check.tableIndex].QualifiedName() == name) return &check;
    }
    return nullptr;
}

std::string CopyDir(const ScratchDir& scratch, const std::string& fixture) {
    static int copies = 0;
    const fs::path copy = fs::path(scratch.Path()) / ("d" + std::to_string(++copies));
    fs::copy(FixturePath(fixture), copy, fs::copy_options::recursive);
    return copy.string();
}

TEST(DumpCheckTest, EveryFixtureIsWholeWithTheScansRowCounts) {
    for (const char* threads : {"1", "3"}) {
        ScopedEnv env("KALVEX_THREADS");
        env.Set(threads);
        for (const char* file :
             {"dumps/kx_main.custom.dump", "dumps/kx_main.custom-pipe.dump",
              "dumps/kx_main.dir/toc.dat", "dumps/kx_main.tar", "dumps/kx_main.sql",
              "dumps/kx_main.sql.gz", "dumps/kx_main.inserts.sql",
              "dumps/kx_main.column-inserts.sql", "dumps/kx_main.rows-per-insert-3.sql",
              "dumps/cluster.dumpall.sql", "dumps/kx_eucjp.custom.dump",
              "dumps/pg18/kx_main.custom-lz4.dump", "dumps/pg18/kx_main.dir-zstd/toc.dat"}) {
            SCOPED_TRACE(std::string(file) + " threads " + threads);
            Checked c = CheckPath(FixturePathW(file));
            ASSERT_TRUE(c.dump) << U8(c.error);
            ASSERT_EQ(c.checks.size(), c.dump->GetTables().size());
            ASSERT_TRUE(c.dump->Scan(nullptr, c.error));
            for (const TableCheck& check : c.checks) {
                const TableEntry& table = c.dump->GetTables()[check.tableIndex];
                EXPECT_TRUE(check.whole) << U8(table.QualifiedName()) << " " << U8(check.message);
                EXPECT_EQ(check.rows, table.rowCount) << U8(table.QualifiedName());
            }
            EXPECT_EQ(CountDamaged(c.checks), 0u);
        }
    }
}

TEST(DumpCheckTest, DamageIsReportedAtItsTableAndTheRestIsStillRead) {
    ScratchDir scratch;
    struct Case {
        const char* name;
        std::function<std::string()> make;  // the damaged copy's path
        std::u16string table;               // the first damaged table
        std::u16string message;             // what the first one's message holds
    };
    const std::string custom = ReadFileBytes(FixturePath("dumps/kx_main.custom.dump"));
    const Case cases[] = {
        {"custom archive cut short",
         [&] { return scratch.Write("cut.dump", custom.substr(0, custom.size() * 8 / 10)); }, u"",
         u"データブロック"},
        {"directory dump missing a data file",
         [&] {
             const std::string dir = CopyDir(scratch, "dumps/kx_main.dir");
             fs::remove(fs::path(dir) / "3460.dat.gz");
             return dir + "/toc.dat";
         },
         u"", u"データファイルをオープンできません("},
        {"row with one field too few",
         [&] {
             const std::string dir = CopyDir(scratch, "dumps/kx_main.dir-z0");
             // The second row of public.simple loses its last field.
             const Checked whole = CheckPath(U16(dir + "/toc.dat"));
             const std::string file =
                 dir + "/" +
                 U8(whole.dump->GetTables()[Find(whole, u"public.simple")->tableIndex].dataFile);
             std::string text = ReadFileBytes(file);
             const size_t second = text.find('\n') + 1;
             const size_t lastTab = text.rfind('\t', text.find('\n', second));
             text.erase(lastTab, text.find('\n', second) - lastTab);
             std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
             return dir + "/toc.dat";
         },
         u"public.simple", u"列数が一致しない行があります(行 2)。"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Checked c = CheckPath(U16(test.make()));
        ASSERT_TRUE(c.dump) << U8(c.error);
        ASSERT_EQ(c.checks.size(), c.dump->GetTables().size());
        size_t damaged = 0;
        for (const TableCheck& check : c.checks) {
            if (check.whole) continue;
            if (damaged++ > 0) continue;
            EXPECT_NE(check.message.find(test.message), std::u16string::npos) << U8(check.message);
            if (!test.table.empty()) {
                EXPECT_EQ(U8(c.dump->GetTables()[check.tableIndex].QualifiedName()),
                          U8(test.table));
            }
        }
        EXPECT_GE(damaged, 1u);
        // Tables after the damage are read too: some of them are whole.
        EXPECT_LT(damaged, c.checks.size());
    }
}

TEST(DumpCheckTest, TarCutInsideTheThirdTableDamagesItButNotTheFirstTwo) {
    ScratchDir scratch;
    const std::string tar = ReadFileBytes(FixturePath("dumps/kx_main.tar"));
    Checked whole = CheckPath(FixturePathW("dumps/kx_main.tar"));
    ASSERT_TRUE(whole.dump);
    CTarIndex index;
    std::u16string error;
    ASSERT_TRUE(index.Read(FixturePathW("dumps/kx_main.tar"), error));
    // The tables with data, in dump order.
    std::vector<size_t> withData;
    for (size_t i = 0; i < whole.dump->GetTables().size(); ++i) {
        if (!whole.dump->GetTables()[i].dataFile.empty()) withData.push_back(i);
    }
    ASSERT_GE(withData.size(), 3u);
    const TableEntry& third = whole.dump->GetTables()[withData[2]];
    const CTarIndex::Member* member = index.Find(U8(third.dataFile));
    ASSERT_NE(member, nullptr);
    const std::string cut =
        scratch.Write("cut.tar", tar.substr(0, member->offset + member->size / 2));
    Checked c = CheckPath(U16(cut));
    ASSERT_TRUE(c.dump) << U8(c.error);
    EXPECT_TRUE(c.checks[withData[0]].whole);
    EXPECT_TRUE(c.checks[withData[1]].whole);
    EXPECT_FALSE(c.checks[withData[2]].whole);
    EXPECT_FALSE(c.checks[withData[2]].message.empty());
}

TEST(DumpCheckTest, GzipScriptCutInsideACopySectionIsDamagedAtThatTable) {
    ScratchDir scratch;
    const std::string script = ReadFileBytes(FixturePath("dumps/kx_main.sql"));
    const size_t copy = script.find("COPY public.many_rows");
    ASSERT_NE(copy, std::string::npos);
    const std::string cut = script.substr(0, script.find('\n', copy) + 2000);
    const std::string path = scratch.Write("cut.sql.gz", testarchive::GzipCompress(cut));
    Checked c = CheckPath(U16(path));
    ASSERT_TRUE(c.dump) << U8(c.error);
    const TableCheck* manyRows = Find(c, u"public.many_rows");
    ASSERT_NE(manyRows, nullptr);
    EXPECT_FALSE(manyRows->whole);
    EXPECT_EQ(U8(manyRows->message), "COPY データが途中で終わっています。");
    EXPECT_GT(manyRows->rows, 0u);
    EXPECT_LT(manyRows->rows, 1500u);
    // The tables before it are whole.
    EXPECT_TRUE(Find(c, u"public.escapes")->whole);
}

TEST(CheckSinkTest, CountsRowsAndFindsTheFirstWrongFieldCountInAnySplit) {
    struct Case {
        const char* text;
        size_t fields;
        uint64_t rows;
        uint64_t badRow;
    };
    const Case cases[] = {
        {"1\ta\n2\tb\n\\.\n", 2, 2, 0},
        {"1\ta\n2\n3\tc\td\n", 2, 3, 2},
        {"1\ta\\\tb\n2\tc\n", 2, 2, 0},  // an escaped TAB is no delimiter
        {"1\ta\\\\\tb\n", 2, 1, 1},      // after an escaped backslash it is
        {"1\ta\n2\tb", 2, 2, 0},         // the last line without its LF is a row
        {"1\ta\n\\.\n3\n", 2, 1, 0},     // nothing after the end line
        {"\\.x\n\\.\n", 1, 1, 0},        // only "\." alone ends the data
        {"a\tb\tc\n", 0, 1, 0},          // unknown column count: any row passes
        {"", 3, 0, 0},
    };
    for (const Case& test : cases) {
        const std::string text = test.text;
        for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, text.size() + 1}) {
            SCOPED_TRACE(text + " in pieces of " + std::to_string(piece));
            CCheckSink sink(test.fields);
            for (size_t at = 0; at < text.size(); at += piece)
                sink.Write(text.data() + at, std::min(piece, text.size() - at));
            sink.Finish();
            EXPECT_EQ(sink.Rows(), test.rows);
            EXPECT_EQ(sink.BadRow(), test.badRow);
        }
    }
}

TEST(DumpCheckTest, SummaryAndListTextSayWhatTheDialogShows) {
    std::vector<TableEntry> tables(2);
    tables[0].schema = u"public";
    tables[0].name = u"a";
    tables[1].schema = u"public";
    tables[1].name = u"b";
    std::vector<TableCheck> checks = {{0, 12, true, u""}, {1, 3, false, u"壊れています。"}};
    EXPECT_EQ(U8(CheckSummary(checks)), "テーブル 2 個を検査しました(正常 1 個、異常 1 個)");
    EXPECT_EQ(U8(CheckListText(tables, checks)),
              "テーブル\t件数\t状態\r\npublic.a\t12\t正常\r\npublic.b\t3\t壊れています。\r\n");
}

}  // namespace
