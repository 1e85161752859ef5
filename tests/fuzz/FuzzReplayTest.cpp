// Every input a fuzz target ever crashed or hung on is kept in tests/fuzz-corpus/<target>/
// and must now pass through that target cleanly (under the sanitizers of the test build).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "support/TestPaths.h"

namespace {

void RunOn(const FuzzTargetEntry& target, const std::string& bytes) {
    target.run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(FuzzReplayTest, KeptInputsPassEveryTarget) {
    const std::filesystem::path root = KALVEX_FUZZ_CORPUS_DIR;
    std::set<std::string> known;
    for (const FuzzTargetEntry& target : FuzzTargets()) known.insert(target.name);
    EXPECT_EQ(known.size(), 10u);
    // A folder without a target would be replayed by nobody.
    if (std::filesystem::exists(root)) {
        for (const auto& folder : std::filesystem::directory_iterator(root)) {
            if (folder.is_directory()) {
                EXPECT_EQ(known.count(folder.path().filename().string()), 1u) << folder.path();
            }
        }
    }
    size_t replayed = 0;
    for (const FuzzTargetEntry& target : FuzzTargets()) {
        const std::filesystem::path folder = root / target.name;
        if (!std::filesystem::exists(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
            SCOPED_TRACE(entry.path().string());
            RunOn(target, ReadAll(entry.path()));
            ++replayed;
        }
    }
    RecordProperty("replayed", static_cast<int>(replayed));
}

// The targets themselves stay sound: each runs over real inputs of its kind, whole and cut.
TEST(FuzzReplayTest, TargetsRunOverFixtures) {
    const std::map<std::string, std::vector<std::string>> inputs = {
        {"archive_toc", {"dumps/kx_main.custom.dump", "dumps/kx_main.dir/toc.dat"}},
        {"archive_data", {"dumps/kx_main.custom-z0.dump", "dumps/kx_eucjp.custom-sjis.dump"}},
        {"gzip_stream", {"dumps/kx_main.sql.gz", "dumps/kx_main.dir/3468.dat.gz"}},
        {"plain_script", {"dumps/kx_latin1.sql", "dumps/kx_eucjp.sjis.sql"}},
        {"insert_values", {"dumps/kx_main.rows-per-insert-3.sql"}},
        {"connect", {"dumps/cluster.dumpall.sql"}},
        {"create_table", {"dumps/kx_main.sql"}},
        {"copy_line", {"expected/kx_main/7075626c69632e65736361706573.copy"}},
        {"where", {}},
        {"settings", {}},
    };
    const std::filesystem::path seeds = KALVEX_FUZZ_SEEDS_DIR;
    for (const FuzzTargetEntry& target : FuzzTargets()) {
        SCOPED_TRACE(target.name);
        std::vector<std::string> files;
        for (const std::string& fixture : inputs.at(target.name)) {
            files.push_back(FixturePath(fixture));
        }
        if (std::filesystem::exists(seeds / target.name)) {
            for (const auto& entry : std::filesystem::directory_iterator(seeds / target.name)) {
                files.push_back(entry.path().string());
            }
        }
        ASSERT_FALSE(files.empty());
        for (const std::string& file : files) {
            const std::string bytes = ReadFileBytes(file);
            ASSERT_FALSE(bytes.empty()) << file;
            RunOn(target, bytes);
            RunOn(target, bytes.substr(0, bytes.size() / 2));
            RunOn(target, std::string());
        }
    }
}
