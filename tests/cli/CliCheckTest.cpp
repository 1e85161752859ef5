#include <gtest/gtest.h>

#include <filesystem>

#include "support/CliRunner.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t lf = text.find('\n', pos);
        lines.push_back(text.substr(pos, lf - pos));
        pos = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
}

}  // namespace

TEST(CliCheckTest, WholeDumpPrintsOkForEveryTableAndExitsZero) {
    for (const char* file : {"dumps/kx_main.custom.dump", "dumps/kx_main.sql"}) {
        CliResult r = RunCli("check " + ShellQuote(FixturePath(file)));
        ASSERT_EQ(r.exitCode, 0) << file << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        const std::vector<std::string> lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 21u) << file;
        EXPECT_EQ(lines[0].substr(lines[0].size() - 4), "  ok");
        EXPECT_NE(r.out.find("public.many_rows  1500  ok\n"), std::string::npos) << r.out;
    }
}

TEST(CliCheckTest, TsvNamesEachTableAndItsStatus) {
    CliResult r = RunCli("check --tsv " + ShellQuote(FixturePath("dumps/kx_main.tar")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0], "database\tschema\ttable\trows\tstatus\tmessage");
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = SplitTabs(lines[i]);
        ASSERT_EQ(f.size(), 6u) << lines[i];
        EXPECT_EQ(f[4], "ok");
        EXPECT_EQ(f[5], "");
    }
}

TEST(CliCheckTest, DamagedTableExitsOneAfterEveryLineWithTheCountOnStderr) {
    namespace fs = std::filesystem;
    ScratchDir scratch;
    const fs::path copy = fs::path(scratch.Path()) / "d";
    fs::copy(FixturePath("dumps/kx_main.dir"), copy, fs::copy_options::recursive);
    fs::remove(copy / "3460.dat.gz");
    CliResult r = RunCli("check --tsv " + ShellQuote((copy / "toc.dat").string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Lines(r.out).size(), 22u);
    EXPECT_EQ(r.err, "異常のあるテーブルがあります(1 個)。\n");
    EXPECT_NE(r.out.find("\tdamaged\tデータファイルをオープンできません("), std::string::npos);
}

TEST(CliCheckTest, RefusedInputsGiveTheOpenMessageOrUsage) {
    CliResult missing = RunCli("check /nonexistent/x.dump");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.empty());
    EXPECT_TRUE(missing.out.empty());
    EXPECT_EQ(RunCli("check").exitCode, 2);
    CliResult db = RunCli("check " + ShellQuote(FixturePath("dumps/kx_main.custom.dump")) +
                          " --database nosuch");
    EXPECT_EQ(db.exitCode, 1);
    EXPECT_EQ(db.err, "データベースが見つかりません(nosuch)。\n");
}
