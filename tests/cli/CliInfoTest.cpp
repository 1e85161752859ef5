#include <gtest/gtest.h>

#include <map>

#include "support/CliRunner.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

std::string Quoted(const std::string& fixture) {
    return ShellQuote(FixturePath(fixture));
}

}  // namespace

TEST(CliInfoTest, TsvListsPropertiesAndEveryTableWithItsCount) {
    CliResult r = RunCli("info --tsv " + Quoted("dumps/kx_main.custom-pipe.dump"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Not a terminal: no progress output.
    EXPECT_TRUE(r.err.empty()) << r.err;

    const size_t blank = r.out.find("\n\n");
    ASSERT_NE(blank, std::string::npos);
    std::map<std::string, std::string> properties;
    size_t pos = 0;
    while (pos <= blank) {
        size_t lf = r.out.find('\n', pos);
        std::vector<std::string> f = SplitTabs(r.out.substr(pos, lf - pos));
        ASSERT_EQ(f.size(), 2u);
        properties[f[0]] = f[1];
        pos = lf + 1;
    }
    EXPECT_EQ(properties["format"], "Custom");
    EXPECT_EQ(properties["database"], "kx_main");
    EXPECT_EQ(properties["encoding"], "UTF8");
    EXPECT_EQ(properties["compression"], "gzip");
    EXPECT_EQ(properties["tables"], "21");
    EXPECT_EQ(properties.size(), 8u);

    std::vector<std::vector<std::string>> lines;
    pos = blank + 2;
    while (pos < r.out.size()) {
        size_t lf = r.out.find('\n', pos);
        lines.push_back(SplitTabs(r.out.substr(pos, lf - pos)));
        pos = lf + 1;
    }
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0],
              (std::vector<std::string>{"database", "schema", "table", "rows", "columns", "data"}));
    std::map<std::string, std::vector<std::string>> byName;
    for (size_t i = 1; i < lines.size(); ++i) byName[lines[i][1] + "." + lines[i][2]] = lines[i];
    for (const ExpectedTable& t : LoadExpectedTables("kx_main")) {
        if (t.kind == "matview") continue;
        SCOPED_TRACE(t.QualifiedName());
        ASSERT_EQ(byName.count(t.QualifiedName()), 1u);
        EXPECT_EQ(byName[t.QualifiedName()][3], std::to_string(t.rows));
        EXPECT_EQ(byName[t.QualifiedName()][5], "copy");
    }
    EXPECT_EQ(byName["public.measurements"][3], "0");
    EXPECT_EQ(byName["public.measurements"][5], "none");
}

TEST(CliInfoTest, HumanOutputAndFailures) {
    CliResult r = RunCli("info " + Quoted("dumps/kx_main.dir"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("format:          Directory\n"), std::string::npos) << r.out;
    // Aligned columns; a Japanese name takes two terminal columns a character.
    EXPECT_NE(r.out.find("\ntable                      rows  columns  data\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\npublic.many_rows          1,500        2  copy\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\npublic.顧客                   3        4  copy\n"), std::string::npos)
        << r.out;

    CliResult tar = RunCli("info " + Quoted("dumps/kx_main.tar"));
    ASSERT_EQ(tar.exitCode, 0) << tar.err;
    EXPECT_NE(tar.out.find("format:          Tar\n"), std::string::npos) << tar.out;
    EXPECT_NE(tar.out.find("\npublic.many_rows          1,500        2  copy\n"), std::string::npos)
        << tar.out;

    ScratchDir dir;
    std::string bad = dir.Write("bad.dump", std::string("PGDMP\x01\x11\x00", 8));
    CliResult version = RunCli("info " + ShellQuote(bad));
    EXPECT_EQ(version.exitCode, 1);
    EXPECT_EQ(version.err, "対応していないアーカイブバージョンです(1.17)。\n");

    EXPECT_EQ(RunCli("info").exitCode, 2);
    EXPECT_EQ(RunCli("info --bogus x").exitCode, 2);
    EXPECT_EQ(RunCli("info a b").exitCode, 2);
}
