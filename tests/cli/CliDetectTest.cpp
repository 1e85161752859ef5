#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TestPaths.h"

TEST(CliDetectTest, PrintsKindOrRefusal) {
    CliResult custom = RunCli("detect " + ShellQuote(FixturePath("dumps/kx_main.custom.dump")));
    EXPECT_EQ(custom.exitCode, 0);
    EXPECT_EQ(custom.out, "custom archive\n");

    const std::string dir = FixturePath("dumps/kx_main.dir");
    CliResult directory = RunCli("detect " + ShellQuote(dir));
    EXPECT_EQ(directory.exitCode, 0);
    EXPECT_EQ(directory.out, "directory dump: " + dir + "/toc.dat\n");

    CliResult gz = RunCli("detect " + ShellQuote(FixturePath("dumps/kx_main.sql.gz")));
    EXPECT_EQ(gz.out, "plain SQL script (gzip)\n");
    CliResult plain = RunCli("detect " + ShellQuote(FixturePath("dumps/kx_main.sql")));
    EXPECT_EQ(plain.out, "plain SQL script\n");

    CliResult tar = RunCli("detect " + ShellQuote(FixturePath("dumps/kx_main.tar")));
    EXPECT_EQ(tar.exitCode, 0);
    EXPECT_EQ(tar.out, "tar archive\n");
    CliResult lz4 = RunCli("detect " + ShellQuote(FixturePath("dumps/pg18/kx_main.sql.lz4")));
    EXPECT_EQ(lz4.out, "plain SQL script (lz4)\n");
    CliResult zstd = RunCli("detect " + ShellQuote(FixturePath("dumps/pg18/kx_main.sql.zst")));
    EXPECT_EQ(zstd.out, "plain SQL script (zstd)\n");

    CliResult missing = RunCli("detect /nonexistent/ダンプ.dump");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "ダンプファイルをオープンできません(/nonexistent/ダンプ.dump)。\n");
}

TEST(CliDetectTest, UsageErrorsExitTwo) {
    EXPECT_EQ(RunCli("").exitCode, 2);
    EXPECT_EQ(RunCli("detect").exitCode, 2);
    EXPECT_EQ(RunCli("detect a b").exitCode, 2);
    EXPECT_EQ(RunCli("frobnicate x").exitCode, 2);
    CliResult help = RunCli("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("detect PATH"), std::string::npos);
}
