#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/ArchiveWriter.h"
#include "support/CliRunner.h"
#include "support/CsvParse.h"
#include "support/Fixtures.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"

namespace {

const std::string kMain = ShellQuote(FixturePath("dumps/kx_main.custom.dump"));

std::vector<std::vector<std::string>> Parse(const std::string& csv, char delimiter = ',') {
    std::vector<std::vector<std::string>> records;
    EXPECT_TRUE(ParseCsv(csv, delimiter, records)) << csv;
    return records;
}

}  // namespace

TEST(CliExportTest, EveryFixtureTableRoundTripsThroughCsv) {
    for (const ExpectedTable& t : LoadExpectedTables("kx_main")) {
        if (t.kind == "matview") continue;
        SCOPED_TRACE(t.QualifiedName());
        CliResult r =
            RunCli("export " + kMain + " " + ShellQuote(t.QualifiedName()) + " --null '<NULL>'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        auto records = Parse(r.out);
        const auto cells = t.Cells("kx_main");
        ASSERT_EQ(records.size(), cells.size() + 1);  // the header line
        for (size_t row = 0; row < cells.size(); ++row) {
            ASSERT_EQ(records[row + 1].size(), cells[row].size());
            for (size_t c = 0; c < cells[row].size(); ++c) {
                EXPECT_EQ(records[row + 1][c], cells[row][c] ? *cells[row][c] : "<NULL>");
            }
        }
    }
}

TEST(CliExportTest, FiltersColumnsAndFormats) {
    ScratchDir dir;
    const std::string out = dir.File("simple.csv");
    CliResult r = RunCli("export " + kMain +
                         " public.simple --where 'price >= 1.5 AND flag' --columns name,id "
                         "--delimiter tab --no-header --quote-all --encoding UTF8BOM -o " +
                         ShellQuote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    const std::string csv = ReadFileBytes(out);
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
    std::vector<std::vector<std::string>> records;
    std::vector<std::vector<bool>> quoted;
    ASSERT_TRUE(ParseCsv(csv.substr(3), '\t', records, &quoted));
    ASSERT_FALSE(records.empty());
    for (size_t i = 0; i < records.size(); ++i) {
        ASSERT_EQ(records[i].size(), 2u);
        EXPECT_TRUE(quoted[i][0] && quoted[i][1]);
    }

    // The keyword is matched without regard to ASCII case; no match leaves only the header.
    CliResult none = RunCli("export " + kMain + " public.simple --keyword 'NO SUCH TEXT'");
    ASSERT_EQ(none.exitCode, 0);
    EXPECT_EQ(Parse(none.out).size(), 1u);

    // Shift_JIS output of the Japanese table.
    CliResult sjis = RunCli("export " + kMain + " public.顧客 --encoding SJIS --no-header");
    ASSERT_EQ(sjis.exitCode, 0) << sjis.err;
    EXPECT_NE(sjis.out.find("\x93\x8c\x8b\x9e"), std::string::npos);  // 東京 in Shift_JIS

    CliResult badWhere = RunCli("export " + kMain + " public.simple --where 'price >'");
    EXPECT_EQ(badWhere.exitCode, 1);
    EXPECT_EQ(badWhere.err.rfind("WHERE 条件式が不正です。\n", 0), 0u) << badWhere.err;
    CliResult badColumn = RunCli("export " + kMain + " public.simple --columns id,nope");
    EXPECT_EQ(badColumn.exitCode, 1);
    EXPECT_EQ(badColumn.err, "列が見つかりません(nope)。\n");
    const std::string blocked = dir.Write("file", "x") + "/out.csv";
    CliResult unwritable = RunCli("export " + kMain + " public.simple -o " + ShellQuote(blocked));
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err, "出力CSVファイルがオープンできませんでした(" + blocked + ")。\n");

    for (const char* usage : {"--delimiter semicolon", "--encoding LATIN1", "--bogus", "-o"}) {
        EXPECT_EQ(RunCli("export " + kMain + " public.simple " + usage).exitCode, 2) << usage;
    }
}

TEST(CliExportTest, InterruptLeavesNoFiles) {
    ScratchDir dir;
    // A table big enough that the export is still running when the interrupt comes.
    testarchive::ArchivePlan plan;
    plan.compression = testarchive::Compression::None;
    const int64_t id = plan.AddTable("public", "big", {"n integer", "t text"}).dumpId;
    std::string rows;
    for (int i = 0; i < 400000; ++i)
        rows += std::to_string(i) + "\tsome text to make rows longer\n";
    plan.AddTableData("public", "big", {"n", "t"}, rows, id);
    const std::string dump = dir.Write("big.dump", testarchive::BuildCustomArchive(plan).bytes);
    const std::string out = dir.File("big.csv");
    const std::string tmp = dir.File("tmp");
    std::filesystem::create_directory(tmp);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        execl(KALVEX_CLI_PATH, KALVEX_CLI_PATH, "export", dump.c_str(), "big", "-o", out.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Interrupt once the writer has created its file beside the output.
    auto writing = [&dir]() {
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            if (entry.path().extension() == ".part") return true;
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!writing() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(writing());
    // The export streams, so it may have made no temporary folder at all.
    EXPECT_TRUE(!std::filesystem::exists(tmp + "/Kalvex") ||
                std::filesystem::is_empty(tmp + "/Kalvex"));
}
