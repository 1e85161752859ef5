#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TestPaths.h"

// public.simple of the sample dump: id, name, price numeric (one NULL), flag boolean, ...
TEST(CliOrderByTest, RowsAndExportFollowTheKeys) {
    const std::string dump = ShellQuote(FixturePath("dumps/kx_main.custom.dump"));
    struct Case {
        std::string args;
        std::string firstIds;  // the first cell of each line, joined by spaces
    };
    const Case cases[] = {
        {"rows " + dump + " public.many_rows --order-by 'label DESC' --count 3", "999 998 997"},
        {"rows " + dump + " public.many_rows --order-by ' \"label\"  asc ' --from 2 --count 3",
         "10 100 1000"},
        {"rows " + dump + " public.many_rows --order-by 'N desc' --where 'n < 5'", "4 3 2 1"},
        // NULL is last ascending and first descending; ties keep table order.
        {"rows " + dump + " public.simple --order-by 'price DESC, id' --count 2", "3 4"},
        {"export " + dump + " public.many_rows --order-by 'label' --where 'n < 12' --no-header",
         "1 10 11 2 3 4 5 6 7 8 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        CliResult r = RunCli(c.args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::string ids;
        size_t at = 0;
        while (at < r.out.size()) {
            const size_t end = r.out.find('\n', at);
            const std::string line = r.out.substr(at, end - at);
            if (!ids.empty()) ids += ' ';
            ids += line.substr(0, line.find_first_of("\t,"));
            at = end + 1;
        }
        EXPECT_EQ(ids, c.firstIds);
    }
}

TEST(CliOrderByTest, BadListsAreUsageErrors) {
    const std::string dump = ShellQuote(FixturePath("dumps/kx_main.custom.dump"));
    const struct {
        const char* list;
        const char* named;
    } cases[] = {
        {"nothere", "nothere"},
        {"\"名前\"", "名前"},
        {"label,", "label,"},
        {"label up", "label up"},
        {"", ""},
        {"label DESC DESC", "label DESC DESC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        for (const char* command : {"rows", "export"}) {
            CliResult r = RunCli(std::string(command) + " " + dump +
                                 " public.many_rows --order-by " + ShellQuote(c.list));
            EXPECT_EQ(r.exitCode, 2) << command;
            EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("usage:"), std::string::npos);
        }
    }
}
