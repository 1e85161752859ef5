#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

// What rows prints for the expected cells of a table.
std::string ExpectedOutput(const std::vector<std::vector<std::optional<std::string>>>& rows,
                           size_t from = 0, size_t count = std::string::npos) {
    std::string out;
    for (size_t r = from; r < rows.size() && r - from < count; ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            if (c > 0) out += '\t';
            out += rows[r][c] ? *rows[r][c] : "(NULL)";
        }
        out += '\n';
    }
    return out;
}

}  // namespace

TEST(CliRowsTest, EveryTablePrintsThePsqlCells) {
    for (const char* file : {"kx_main.custom.dump", "kx_main.dir", "kx_eucjp.custom-sjis.dump"}) {
        SCOPED_TRACE(file);
        const std::string database = std::string(file).substr(0, std::string(file).find('.'));
        for (const ExpectedTable& t : LoadExpectedTables(database)) {
            if (t.kind == "matview") continue;
            SCOPED_TRACE(t.QualifiedName());
            CliResult r = RunCli("rows " + ShellQuote(FixturePath(std::string("dumps/") + file)) +
                                 " " + ShellQuote(t.QualifiedName()));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.out, ExpectedOutput(t.Cells(database)));
        }
    }
}

TEST(CliRowsTest, RangesNamesAndErrors) {
    const std::string dump = ShellQuote(FixturePath("dumps/kx_main.custom.dump"));
    std::vector<std::vector<std::optional<std::string>>> many;
    for (const ExpectedTable& t : LoadExpectedTables("kx_main")) {
        if (t.name == "many_rows") many = t.Cells("kx_main");
    }
    ASSERT_EQ(many.size(), 1500u);
    // A unique bare name works; --from is 1-based.
    CliResult r = RunCli("rows " + dump + " many_rows --from 1499 --count 5");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ExpectedOutput(many, 1498));
    EXPECT_EQ(RunCli("rows " + dump + " many_rows --from 2000").out, "");
    EXPECT_EQ(RunCli("rows " + dump + " many_rows --count 0").out, "");
    EXPECT_EQ(RunCli("rows " + dump + " public.many_rows --count 2").out,
              ExpectedOutput(many, 0, 2));

    // Filtered: --from and --count run over the matching rows.
    CliResult filtered =
        RunCli("rows " + dump + " many_rows --where " +
               ShellQuote(U8(u"n % 100 = 0 AND n <= 500")) + " --from 2 --count 2");
    ASSERT_EQ(filtered.exitCode, 0) << filtered.err;
    std::string expected;
    for (const auto& row : many) {
        if (row[0] && (*row[0] == "200" || *row[0] == "300")) expected += ExpectedOutput({row});
    }
    EXPECT_EQ(filtered.out, expected);
    CliResult keyword = RunCli("rows " + dump + " simple --keyword APPLE");
    ASSERT_EQ(keyword.exitCode, 0) << keyword.err;
    EXPECT_EQ(keyword.out.rfind("1\tapple\t", 0), 0u) << keyword.out;
    EXPECT_EQ(keyword.out.find('\n'), keyword.out.size() - 1);
    CliResult badWhere = RunCli("rows " + dump + " simple --where 'nosuch = 1'");
    EXPECT_EQ(badWhere.exitCode, 1);
    EXPECT_EQ(badWhere.err.rfind("WHERE 条件式が不正です。\n", 0), 0u) << badWhere.err;

    CliResult ambiguous = RunCli("rows " + dump + " items");
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_EQ(ambiguous.err.rfind("テーブル名が一意ではありません(items)。", 0), 0u)
        << ambiguous.err;
    CliResult missing = RunCli("rows " + dump + " nothing");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "テーブルが見つかりません(nothing)。\n");

    EXPECT_EQ(RunCli("rows " + dump).exitCode, 2);
    EXPECT_EQ(RunCli("rows " + dump + " t --from 0").exitCode, 2);
    EXPECT_EQ(RunCli("rows " + dump + " t --count x").exitCode, 2);
    EXPECT_EQ(RunCli("rows " + dump + " t --bogus").exitCode, 2);
}

TEST(CliRowsTest, WholeClusterTablesDecodeWithTheirDatabasesEncoding) {
    // pg_dumpall switches client_encoding per database: EUC_JP, LATIN1 and UTF8 in one file.
    for (const char* file : {"cluster.dumpall.sql", "cluster.dumpall.sql.gz"}) {
        SCOPED_TRACE(file);
        const std::string dump = ShellQuote(FixturePath(std::string("dumps/") + file));
        for (const char* database : {"kx_eucjp", "kx_latin1", "kx_main"}) {
            for (const ExpectedTable& t : LoadExpectedTables(database)) {
                if (t.kind == "matview") continue;
                SCOPED_TRACE(std::string(database) + ":" + t.QualifiedName());
                CliResult r = RunCli("rows " + dump + " " + ShellQuote(t.QualifiedName()) +
                                     " --database " + database);
                ASSERT_EQ(r.exitCode, 0) << r.err;
                EXPECT_EQ(r.out, ExpectedOutput(t.Cells(database)));
            }
        }
    }
}

TEST(CliRowsTest, CountStopsReadingBeforeDamageFurtherOn) {
    // The uncompressed archive cut off in the middle of many_rows' data: reading the whole
    // table fails, but the first rows come out whole, and --count stops before the cut.
    const std::string original = ReadFileBytes(FixturePath("dumps/kx_main.custom-z0.dump"));
    const size_t cut = original.find("1000\trow 1000\n");
    ASSERT_NE(cut, std::string::npos);
    ScratchDir scratch;
    const std::string dump = ShellQuote(scratch.Write("cut.dump", original.substr(0, cut)));
    std::vector<std::vector<std::optional<std::string>>> many;
    for (const ExpectedTable& t : LoadExpectedTables("kx_main")) {
        if (t.name == "many_rows") many = t.Cells("kx_main");
    }
    ASSERT_EQ(many.size(), 1500u);

    const CliResult whole = RunCli("rows " + dump + " many_rows");
    EXPECT_EQ(whole.exitCode, 1);
    EXPECT_EQ(whole.out, "");
    EXPECT_FALSE(whole.err.empty());
    const CliResult first = RunCli("rows " + dump + " many_rows --from 3 --count 10");
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, ExpectedOutput(many, 2, 10));
    EXPECT_EQ(first.err, "");
    const CliResult matches = RunCli("rows " + dump + " many_rows --where 'n % 100 = 0' --count 9");
    EXPECT_EQ(matches.exitCode, 0) << matches.err;
    EXPECT_EQ(matches.out.substr(matches.out.rfind('\n', matches.out.size() - 2) + 1),
              "900\trow 900\n");
    // Past the cut the damage shows; the export leaves no file behind.
    EXPECT_EQ(RunCli("rows " + dump + " many_rows --from 990 --count 20").exitCode, 1);
    const CliResult exported =
        RunCli("export " + dump + " many_rows -o " + ShellQuote(scratch.File("out.csv")));
    EXPECT_EQ(exported.exitCode, 1);
    EXPECT_EQ(exported.err, whole.err);
    EXPECT_TRUE(ReadFileBytes(scratch.File("out.csv")).empty());
}
