// The scan on worker threads against the sequential one, on real dumps and damaged copies,
// and cancelled at random points (run under ThreadSanitizer by `make tsan`).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/CreateDumpReader.h"
#include "dump/DumpFile.h"
#include "jobs/JobContext.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"

namespace {

// Polled from every worker; its reports are unguarded on purpose: the reader must
// serialise them, and ThreadSanitizer tells when it does not.
class CountingJob : public IJobContext {
public:
    explicit CountingJob(int cancelAfter = -1) : m_cancelAfter(cancelAfter) {}
    bool IsCancelled() const override { return m_cancelAfter >= 0 && ++m_polls > m_cancelAfter; }
    void SetMessage(const std::u16string& text) override { messages.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    std::vector<std::u16string> messages;
    std::vector<int> progress;

private:
    int m_cancelAfter;
    mutable std::atomic<int> m_polls{0};
};

struct Outcome {
    bool ok = false;
    std::u16string error;
    std::vector<std::pair<bool, uint64_t>> counts;
};

Outcome ScanWith(const std::u16string& path, const char* threads, IJobContext* job = nullptr) {
    ScopedEnv env("KALVEX_THREADS");
    env.Set(threads);
    Outcome outcome;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(path, outcome.error);
    if (!dump) return outcome;
    outcome.ok = dump->Scan(job, outcome.error);
    for (const TableEntry& t : dump->GetTables())
        outcome.counts.emplace_back(t.rowCountKnown, t.rowCount);
    return outcome;
}

void ExpectSame(const std::u16string& path, const std::string& label) {
    SCOPED_TRACE(label);
    const Outcome sequential = ScanWith(path, "1");
    const Outcome parallel = ScanWith(path, "3");
    EXPECT_EQ(parallel.ok, sequential.ok);
    EXPECT_EQ(U8(parallel.error), U8(sequential.error));
    // A failed scan fails the open, so only a successful one's counts reach anybody.
    if (sequential.ok) {
        EXPECT_EQ(parallel.counts, sequential.counts);
    }
}

const char* const kArchives[] = {
    "dumps/kx_main.custom.dump",           "dumps/kx_main.custom-z0.dump",
    "dumps/kx_main.custom-pipe.dump",      "dumps/kx_main.dir/toc.dat",
    "dumps/kx_main.dir-z0/toc.dat",        "dumps/kx_main.tar",
    "dumps/kx_eucjp.custom.dump",          "dumps/pg18/kx_main.custom-lz4.dump",
    "dumps/pg18/kx_main.custom-zstd.dump", "dumps/pg18/kx_main.dir-zstd/toc.dat",
};

TEST(ParallelScanTest, FixturesCountTheSameOnWorkersAsInOrder) {
    for (const char* file : kArchives) {
        ExpectSame(FixturePathW(file), file);
        const Outcome parallel = ScanWith(FixturePathW(file), "3");
        EXPECT_TRUE(parallel.ok) << file << " " << U8(parallel.error);
    }
}

TEST(ParallelScanTest, DamagedCopiesFailWithTheSequentialMessage) {
    ScratchDir scratch;
    for (const char* file : {"dumps/kx_main.custom.dump", "dumps/kx_main.tar",
                             "dumps/pg18/kx_main.custom-zstd.dump"}) {
        const std::string bytes = ReadFileBytes(FixturePath(file));
        // Cuts in different tables, and flipped bytes at a spread of places.
        for (int share : {35, 55, 70, 85, 97}) {
            const size_t at = bytes.size() * static_cast<size_t>(share) / 100;
            const std::string cut = scratch.Write("cut", bytes.substr(0, at));
            ExpectSame(U16(cut), std::string(file) + " cut at " + std::to_string(at));
            std::string flipped = bytes;
            for (size_t i = 0; i < 4 && at + i < flipped.size(); ++i) flipped[at + i] ^= 0x5A;
            const std::string path = scratch.Write("flipped", flipped);
            ExpectSame(U16(path), std::string(file) + " flipped at " + std::to_string(at));
        }
    }
}

TEST(ParallelScanTest, DirectoryWithADamagedOrMissingFileFailsLikeTheSequentialScan) {
    namespace fs = std::filesystem;
    const fs::path source = FixturePath("dumps/kx_main.dir");
    std::vector<fs::path> dataFiles;
    for (const auto& entry : fs::directory_iterator(source)) {
        if (entry.path().filename().string()[0] != 'b' && entry.path().extension() == ".gz")
            dataFiles.push_back(entry.path().filename());
    }
    std::sort(dataFiles.begin(), dataFiles.end());
    ASSERT_GE(dataFiles.size(), 6u);
    for (size_t pick : {size_t{1}, dataFiles.size() / 2, dataFiles.size() - 1}) {
        ScratchDir scratch;
        const fs::path copy = fs::path(scratch.Path()) / "d";
        fs::copy(source, copy, fs::copy_options::recursive);
        fs::remove(copy / dataFiles[pick]);
        ExpectSame(U16((copy / "toc.dat").string()), "missing " + dataFiles[pick].string());
        // A second damage further on: the first in dump order is the one reported.
        std::string bytes = ReadFileBytes((source / dataFiles.back()).string());
        bytes.resize(bytes.size() / 2);
        std::ofstream((copy / dataFiles.back()).string(), std::ios::binary) << bytes;
        ExpectSame(U16((copy / "toc.dat").string()), "missing and cut " + dataFiles[pick].string());
    }
}

TEST(ParallelScanTest, ProgressOnlyMovesForwardsToTheEnd) {
    for (const char* file : {"dumps/kx_main.custom.dump", "dumps/kx_main.dir/toc.dat"}) {
        CountingJob job;
        const Outcome outcome = ScanWith(FixturePathW(file), "3", &job);
        ASSERT_TRUE(outcome.ok) << file;
        ASSERT_FALSE(job.progress.empty()) << file;
        EXPECT_TRUE(std::is_sorted(job.progress.begin(), job.progress.end())) << file;
        EXPECT_EQ(job.progress.back(), 100) << file;
    }
}

TEST(ParallelScanTest, CancelAtRandomPointsEndsWithTheCancelMessageOrTheFullCounts) {
    std::mt19937 random(20261210);
    for (const char* file :
         {"dumps/kx_main.custom.dump", "dumps/kx_main.dir/toc.dat", "dumps/kx_main.tar"}) {
        const Outcome whole = ScanWith(FixturePathW(file), "3");
        ASSERT_TRUE(whole.ok);
        for (int round = 0; round < 12; ++round) {
            const int after = static_cast<int>(random() % 40);
            CountingJob job(after);
            const Outcome outcome = ScanWith(FixturePathW(file), "3", &job);
            SCOPED_TRACE(std::string(file) + " cancelled after " + std::to_string(after));
            if (outcome.ok) {
                EXPECT_EQ(outcome.counts, whole.counts);
            } else {
                EXPECT_EQ(U8(outcome.error), U8(kCancelledMessage));
            }
        }
        CountingJob first(0);
        EXPECT_FALSE(ScanWith(FixturePathW(file), "3", &first).ok) << file;
    }
}

}  // namespace
