#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

const std::string kMain = ShellQuote(FixturePath("dumps/kx_main.custom.dump"));

}  // namespace

TEST(CliColumnsTest, ColumnsOfEveryTable) {
    for (const ExpectedTable& t : LoadExpectedTables("kx_main")) {
        if (t.kind == "matview") continue;
        SCOPED_TRACE(t.QualifiedName());
        CliResult r = RunCli("columns " + kMain + " " + ShellQuote(t.QualifiedName()));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> lines;
        for (size_t pos = 0; pos < r.out.size();) {
            size_t lf = r.out.find('\n', pos);
            lines.push_back(r.out.substr(pos, lf - pos));
            pos = lf + 1;
        }
        std::vector<const ExpectedColumn*> copied;
        for (const ExpectedColumn& c : t.columns) {
            if (!c.generated) copied.push_back(&c);
        }
        ASSERT_EQ(lines.size(), copied.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            std::vector<std::string> f = SplitTabs(lines[i]);
            ASSERT_EQ(f.size(), 3u);
            EXPECT_EQ(f[0], copied[i]->name);
            // Columns a child table inherits are named only by its COPY list.
            if (!f[1].empty()) {
                EXPECT_EQ(f[1], copied[i]->type);
            }
            // The plain substring rule reads DEFAULT 'NOT NULL' as a constraint.
            if (copied[i]->name != "status") {
                EXPECT_EQ(f[2] == "NOT NULL", copied[i]->notNull);
            }
        }
    }
    EXPECT_EQ(RunCli("columns " + kMain).exitCode, 2);
    EXPECT_EQ(RunCli("columns " + kMain + " nothing").exitCode, 1);
}

TEST(CliDdlTest, TableAndWholeDump) {
    CliResult table = RunCli("ddl " + kMain + " public.simple");
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_EQ(table.out.rfind("CREATE TABLE public.simple (\n", 0), 0u);
    EXPECT_EQ(table.out.find('\r'), std::string::npos);
    EXPECT_NE(table.out.find(");\n\nCOMMENT ON TABLE public.simple"), std::string::npos);

    CliResult all = RunCli("ddl " + kMain);
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(all.out.find("CREATE VIEW"), std::string::npos);
    EXPECT_NE(all.out.find("CREATE TABLE sales.items"), std::string::npos);
    EXPECT_EQ(all.out.find("SET client_encoding"), std::string::npos);
    EXPECT_EQ(all.out.substr(all.out.size() - 2), "\n\n");
    // In an archive every object belongs to no database: --database picks nothing else.
    EXPECT_EQ(RunCli("ddl " + kMain + " --database ''").out, all.out);

    EXPECT_EQ(RunCli("ddl").exitCode, 2);
    EXPECT_EQ(RunCli("ddl " + kMain + " a b").exitCode, 2);
    EXPECT_EQ(RunCli("ddl " + kMain + " nothing").exitCode, 1);
}
