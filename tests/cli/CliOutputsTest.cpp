#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "support/CliRunner.h"
#include "support/Fixtures.h"
#include "support/Sha256.h"
#include "support/TestPaths.h"

// kalvex-cli's output on every fixture dump, compared with sums recorded from an earlier
// build (scripts/make_cli_hashes.sh): a change to what the commands print shows up here.
namespace {

struct Recorded {
    std::string outSha;
    std::string errSha;
    int exitCode = 0;
    std::vector<std::string> args;  // "@NAME" is the fixture dump NAME
};

std::vector<Recorded> LoadRecorded() {
    std::ifstream in(std::string(KALVEX_FIXTURES_DIR) + "/../cli/CliOutputs.tsv");
    std::vector<Recorded> all;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f = SplitTabs(line);
        if (f.size() < 4) continue;
        Recorded r{f[0], f[1], std::stoi(f[2]), {f.begin() + 3, f.end()}};
        all.push_back(r);
    }
    return all;
}

std::string DumpOf(const Recorded& r) {
    for (const std::string& a : r.args) {
        if (!a.empty() && a[0] == '@') return a.substr(1);
    }
    return {};
}

std::vector<std::string> RecordedDumps() {
    std::set<std::string> names;
    for (const Recorded& r : LoadRecorded()) names.insert(DumpOf(r));
    return {names.begin(), names.end()};
}

class CliOutputsTest : public testing::TestWithParam<std::string> {};

}  // namespace

TEST(CliOutputsListTest, EveryFixtureDumpIsRecorded) {
    const std::vector<std::string> recorded = RecordedDumps();
    for (const FixtureDump& dump : LoadFixtureDumps()) {
        EXPECT_TRUE(std::find(recorded.begin(), recorded.end(), dump.file) != recorded.end())
            << dump.file;
    }
}

TEST_P(CliOutputsTest, SameBytesAsRecorded) {
    size_t commands = 0;
    for (const Recorded& r : LoadRecorded()) {
        if (DumpOf(r) != GetParam()) continue;
        std::string command;
        for (const std::string& a : r.args) {
            command += ' ';
            command +=
                a[0] == '@' ? ShellQuote(FixturePath("dumps/" + a.substr(1))) : ShellQuote(a);
        }
        SCOPED_TRACE(command);
        const CliResult result = RunCli(command);
        EXPECT_EQ(result.exitCode, r.exitCode) << result.err;
        EXPECT_EQ(Sha256Hex(result.out), r.outSha);
        EXPECT_EQ(Sha256Hex(result.err), r.errSha) << result.err;
        ++commands;
    }
    EXPECT_GT(commands, 3u);
}

INSTANTIATE_TEST_SUITE_P(Dumps, CliOutputsTest, testing::ValuesIn(RecordedDumps()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : info.param)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });
