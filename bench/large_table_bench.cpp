// A table larger than memory: writes an uncompressed custom archive of many short rows
// (100 million by default, several GB), opens and scans it, loads the table, reads the
// first, middle and last rows, runs a filter, and compares the peak memory with the
// budget of 64 MB plus 8 bytes per row. The archive is deleted at the end.
//
//   kalvex_large_table_bench [--rows N] [--dir FOLDER]
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/CreateDumpReader.h"
#include "filter/RowFilter.h"
#include "platform/ExitCleanup.h"
#include "platform/TempFiles.h"
#include "platform/Utf8.h"
#include "store/TableData.h"
#include "support/ArchiveWriter.h"

using bench::Clock;
using bench::Seconds;

namespace {

const char kProgram[] = "kalvex_large_table_bench";

// Row i: "i<TAB>n<i % 100000><TAB><amount>"; the amount is i % 10007 / 100 with two decimals.
void AppendRow(std::string& out, uint64_t i) {
    char row[64];
    const uint64_t cents = i % 10007;
    const int n =
        std::snprintf(row, sizeof row, "%" PRIu64 "\tn%" PRIu64 "\t%" PRIu64 ".%02" PRIu64 "\n", i,
                      i % 100000, cents / 100, cents % 100);
    out.append(row, static_cast<size_t>(n));
}

std::string ExpectedRow(uint64_t i) {
    std::string row;
    AppendRow(row, i);
    row.pop_back();
    return row;
}

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

// The archive: header and table of contents from the test writer, then the one data block
// streamed chunk by chunk, as pg_dump -Z0 writes it.
uint64_t WriteArchive(const std::string& path, uint64_t rows) {
    testarchive::ArchivePlan plan;
    plan.compression = testarchive::Compression::None;
    const int64_t id =
        plan.AddTable("public", "huge", {"id bigint", "name text", "amount numeric(8,2)"}).dumpId;
    testarchive::TocEntryPlan& data =
        plan.AddTableData("public", "huge", {"id", "name", "amount"}, "", id);
    data.block->stored = std::string();
    data.block->terminated = false;
    const testarchive::BuiltArchive built = testarchive::BuildCustomArchive(plan);
    const testarchive::Encoding encoding = plan.GetEncoding();

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) bench::Fail(kProgram, "cannot create %s", path.c_str());
    std::string out = built.bytes;
    std::string chunk;
    auto flushChunk = [&](bool last) {
        testarchive::WriteInt(out, encoding, static_cast<int64_t>(chunk.size()));
        out += chunk;
        chunk.clear();
        if (last) testarchive::WriteInt(out, encoding, 0);
        if (std::fwrite(out.data(), 1, out.size(), file) != out.size()) {
            bench::Fail(kProgram, "writing %s failed", path.c_str());
        }
        out.clear();
    };
    for (uint64_t i = 0; i < rows; ++i) {
        AppendRow(chunk, i);
        if (chunk.size() >= (1u << 20)) flushChunk(false);
    }
    chunk += testarchive::kCopyEnd;
    flushChunk(true);
    if (std::fclose(file) != 0) bench::Fail(kProgram, "writing %s failed", path.c_str());
    struct stat st {};
    ::stat(path.c_str(), &st);
    return static_cast<uint64_t>(st.st_size);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t rows = 100000000;
    std::string dir = "build/bench-data";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0) {
            rows = std::strtoull(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--dir") == 0) {
            dir = argv[i + 1];
        } else {
            bench::Fail(kProgram, "usage: %s [--rows N] [--dir FOLDER]", kProgram);
        }
    }
    if (rows < 3) bench::Fail(kProgram, "--rows must be at least 3");
    InstallExitCleanup();
    ::mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/large-table-" + std::to_string(::getpid()) + ".dump";

    const Clock::time_point writeStart = Clock::now();
    const uint64_t size = WriteArchive(path, rows);
    std::printf("archive     %" PRIu64 " rows, %.2f GB, written in %.1f s\n", rows, size / 1e9,
                Seconds(writeStart));
    std::fflush(stdout);
    const long baseKb = StatusKb("VmHWM:");

    bool ok = true;
    {
        std::u16string error;
        const Clock::time_point openStart = Clock::now();
        std::unique_ptr<IDumpFile> dump = CreateDumpReader(platform::Utf8ToUtf16(path), error);
        if (!dump || !dump->Scan(nullptr, error)) {
            std::remove(path.c_str());
            bench::Fail(kProgram, "open/scan: %s", platform::Utf16ToUtf8(error).c_str());
        }
        std::printf("scan        %.1f s (%.0f MB/s)\n", Seconds(openStart),
                    size / 1e6 / Seconds(openStart));

        const TableEntry& table = dump->GetTables().front();
        CTableData data;
        const Clock::time_point loadStart = Clock::now();
        if (!data.Load(*dump, table, nullptr, error)) {
            std::remove(path.c_str());
            bench::Fail(kProgram, "load: %s", platform::Utf16ToUtf8(error).c_str());
        }
        std::printf("load        %.1f s (%.0f MB/s), %zu rows\n", Seconds(loadStart),
                    size / 1e6 / Seconds(loadStart), data.GetRowCount());
        ok = ok && data.GetRowCount() == rows;

        const Clock::time_point readStart = Clock::now();
        for (uint64_t row : {uint64_t{0}, rows / 2, rows - 1}) {
            std::string bytes;
            const bool read = data.ReadRowBytes(static_cast<size_t>(row), bytes);
            const bool same = read && bytes == ExpectedRow(row);
            std::printf("row %-11" PRIu64 " %s%s\n", row, bytes.c_str(), same ? "" : "  WRONG");
            ok = ok && same;
        }
        std::printf("rows read   %.3f ms\n", Seconds(readStart) * 1000);

        // One match in every 10,007 rows: the filter decodes every row.
        CRowFilter filter;
        std::vector<size_t> matches;
        const Clock::time_point filterStart = Clock::now();
        if (!filter.Prepare(u"amount = 100.06", u"", table.columns, error) ||
            !filter.Run(data, nullptr, matches, error)) {
            std::printf("filter      failed: %s\n", platform::Utf16ToUtf8(error).c_str());
            ok = false;
        } else {
            const uint64_t expected = rows / 10007;  // i % 10007 == 10006
            std::printf("filter      %.1f s (%.1f M rows/s), %zu matches%s\n", Seconds(filterStart),
                        rows / 1e6 / Seconds(filterStart), matches.size(),
                        matches.size() == expected ? "" : "  WRONG");
            ok = ok && matches.size() == expected;
        }
    }
    std::remove(path.c_str());
    DeleteTempFiles();

    const long peakKb = StatusKb("VmHWM:");
    const double budgetMb = 64.0 + 8.0 * static_cast<double>(rows) / 1e6;
    std::printf(
        "peak memory %.1f MB (before opening %.1f MB); budget 64 MB + 8 B/row = %.1f MB: %s\n",
        peakKb / 1024.0 * 1.048576, baseKb / 1024.0 * 1.048576, budgetMb,
        peakKb / 1024.0 * 1.048576 <= budgetMb ? "within" : "OVER");
    return ok ? 0 : 1;
}
