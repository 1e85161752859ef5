// Row store benchmark: loading COPY text into the spool, sequential and random row
// decoding, and memory per row, beside the machine's own buffered-write speed.
//
//   kalvex_store_bench [--rows N] [--archive DUMP]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "GeneratedDump.h"
#include "app/CreateDumpReader.h"
#include "platform/File.h"
#include "platform/TempFiles.h"
#include "platform/Utf8.h"
#include "store/TableCursor.h"
#include "store/TableData.h"

using bench::Clock;
using bench::Seconds;

namespace {

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double CurrentRssMiB() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f != nullptr) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1048576.0);
}

// About 1 MiB of varied UTF-8 rows (numbers, text, NULLs, escapes, Japanese), repeated.
std::string MakeBlock(size_t& rowsInBlock) {
    std::mt19937 random(42);
    static const char* const kWords[] = {
        "apple",        "東京都", "banana\\tsplit",     "café",
        "line\\nbreak", "x",      "長い説明のテキスト", "back\\\\slash"};
    std::string block;
    rowsInBlock = 0;
    while (block.size() < (1 << 20)) {
        const unsigned r = random();
        block += std::to_string(rowsInBlock + 1);
        block += '\t';
        for (int w = 0; w < 1 + static_cast<int>(r % 4); ++w) {
            if (w > 0) block += ' ';
            block += kWords[(r >> (w * 3)) % 8];
        }
        block += '\t';
        block += (r % 5 == 0) ? "\\N" : std::to_string(r % 100000) + "." + std::to_string(r % 100);
        block += "\t2026-12-09 08:";
        block += std::to_string(10 + r % 50);
        block += ":00\n";
        ++rowsInBlock;
    }
    return block;
}

// A one-table dump whose COPY text is the block, repeated to the wanted row count.
class GeneratedDump : public bench::CGeneratedDump {
public:
    GeneratedDump(const std::string& block, size_t blockRows, size_t rows)
        : CGeneratedDump(u"generated", MakeTable(), rows),
          m_block(block),
          m_blockRows(blockRows),
          m_rows(rows) {}
    bool ReadTableData(const TableEntry&, IDataSink& sink, IJobContext*, std::u16string&) override {
        size_t left = m_rows;
        bytes = 0;
        while (left >= m_blockRows) {
            if (!sink.Write(m_block.data(), m_block.size())) return false;
            bytes += m_block.size();
            left -= m_blockRows;
        }
        // The remaining rows: a prefix of the block up to the right line feed.
        size_t cut = 0;
        for (size_t i = 0; i < left; ++i) cut = m_block.find('\n', cut) + 1;
        bytes += cut;
        return sink.Write(m_block.data(), cut);
    }
    uint64_t bytes = 0;

private:
    static TableEntry MakeTable() {
        TableEntry table;
        table.schema = u"public";
        table.name = u"generated";
        table.columns.resize(4);
        return table;
    }

    const std::string& m_block;
    size_t m_blockRows;
    size_t m_rows;
};

// The floor: the same bytes written to a file through a 1 MiB buffer with plain writes.
double BufferedWriteMBps(const std::string& block, uint64_t totalBytes) {
    const std::u16string path = MakeTempFilePath(u".bench");
    platform::CFile file;
    if (!file.OpenWritePrivate(path)) return 0;
    const auto start = Clock::now();
    uint64_t done = 0;
    while (done < totalBytes) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), totalBytes - done));
        if (!file.WriteAll(block.data(), n)) break;
        done += n;
    }
    file.Close();
    const double s = Seconds(start);
    platform::DeleteFile(path);
    return done / 1e6 / s;
}

struct DecodeFigures {
    double seconds = 0;
    uint64_t bytes = 0;
};

DecodeFigures DecodeAll(const CTableData& data) {
    DecodeFigures f;
    CTableCursor cursor(data);
    RowCells cells;
    std::string raw;
    const auto start = Clock::now();
    for (size_t i = 0; i < data.GetRowCount(); ++i) {
        if (!cursor.GetRow(i, cells)) {
            std::fprintf(stderr, "row %zu failed\n", i);
            break;
        }
    }
    f.seconds = Seconds(start);
    for (size_t i = 0; i < data.GetRowCount(); ++i) {
        cursor.ReadRowBytes(i, raw);
        f.bytes += raw.size() + 1;
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    size_t rows = 10'000'000;
    std::string archive;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::stoull(argv[i + 1]);
        if (std::strcmp(argv[i], "--archive") == 0) archive = argv[i + 1];
    }

    size_t blockRows = 0;
    const std::string block = MakeBlock(blockRows);
    GeneratedDump dump(block, blockRows, rows);
    const double baseRss = CurrentRssMiB();

    std::printf("Row store benchmark: %zu generated rows of UTF-8 COPY text\n\n", rows);
    std::u16string error;
    double bestLoad = 1e9;
    double floorMBps = 0;
    // Each run loads a fresh store; removing the previous spool file is not timed.
    auto store = std::make_unique<CTableData>();
    for (int run = 0; run < 3; ++run) {
        store = std::make_unique<CTableData>();
        const auto start = Clock::now();
        if (!store->Load(dump, dump.GetTables()[0], nullptr, error)) {
            std::fprintf(stderr, "load failed: %s\n", platform::Utf16ToUtf8(error).c_str());
            return 1;
        }
        bestLoad = std::min(bestLoad, Seconds(start));
        // The floor in the same conditions, alternating with the loads.
        floorMBps = std::max(floorMBps, BufferedWriteMBps(block, dump.bytes));
    }
    CTableData& data = *store;
    if (std::getenv("KX_LOAD_ONLY") != nullptr) {
        std::printf("load: %.3f s\n", bestLoad);
        return 0;
    }
    const double loadMBps = dump.bytes / 1e6 / bestLoad;
    std::printf("load from memory:      %8.1f MB/s  (%.2f s for %.0f MB)\n", loadMBps, bestLoad,
                dump.bytes / 1e6);
    std::printf(
        "buffered write floor:  %8.1f MB/s  -> load at %.0f %% of the floor (target 70 %%)\n",
        floorMBps, 100 * loadMBps / floorMBps);
    const double afterLoadRss = CurrentRssMiB();
    std::printf(
        "memory after load:     %8.1f MiB over the start, %.2f bytes per row "
        "(offsets alone: 4)\n",
        afterLoadRss - baseRss, (afterLoadRss - baseRss) * 1048576.0 / rows);

    DecodeFigures best;
    best.seconds = 1e9;
    for (int run = 0; run < 3; ++run) {
        DecodeFigures f = DecodeAll(data);
        if (f.seconds < best.seconds) best = f;
    }
    std::printf("sequential GetRow:     %8.1f MB/s of COPY text, %.2f M rows/s (target 300 MB/s)\n",
                best.bytes / 1e6 / best.seconds, rows / 1e6 / best.seconds);

    // Random rows through one cursor, as the grid reads after a jump (target 10 us).
    std::mt19937_64 random(7);
    RowCells cells;
    const int samples = 20000;
    double bestRandom = 1e9;
    for (int run = 0; run < 3; ++run) {
        CTableCursor cursor(data);
        const auto start = Clock::now();
        for (int i = 0; i < samples; ++i) cursor.GetRow(random() % data.GetRowCount(), cells);
        bestRandom = std::min(bestRandom, Seconds(start) * 1e6 / samples);
    }
    std::printf(
        "random GetRow (cursor): %7.1f us per row (spool file in the page cache, "
        "target 10 us)\n",
        bestRandom);
    std::printf("peak RSS:              %8.1f MiB\n", PeakRssMiB());
    data.Reset();

    if (!archive.empty()) {
        std::unique_ptr<IDumpFile> real = CreateDumpReader(platform::Utf8ToUtf16(archive), error);
        if (!real || !real->Scan(nullptr, error)) {
            std::fprintf(stderr, "archive: %s\n", platform::Utf16ToUtf8(error).c_str());
            return 1;
        }
        const TableEntry* biggest = nullptr;
        for (const TableEntry& t : real->GetTables()) {
            if (biggest == nullptr || t.rowCount > biggest->rowCount) biggest = &t;
        }
        double bestArchive = 1e9;
        for (int run = 0; run < 3; ++run) {
            data.Reset();
            const auto s = Clock::now();
            if (!data.Load(*real, *biggest, nullptr, error)) return 1;
            bestArchive = std::min(bestArchive, Seconds(s));
        }
        DecodeFigures f = DecodeAll(data);
        std::printf("\nload from archive %s (%s, %zu rows): %.1f MB/s of COPY text, %.2f s\n",
                    archive.c_str(), platform::Utf16ToUtf8(real->GetInfo().compression).c_str(),
                    data.GetRowCount(), f.bytes / 1e6 / bestArchive, bestArchive);
        std::printf("sequential GetRow on it: %.1f MB/s, %.2f M rows/s\n",
                    f.bytes / 1e6 / f.seconds, data.GetRowCount() / 1e6 / f.seconds);
    }
    DeleteTempFiles();
    return 0;
}
