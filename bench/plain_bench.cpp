// Measures the scan of plain SQL scripts against memchr line counting of the same file in
// the same run, and the load of the largest table (ReadTableData into a counting sink).
//
//   kalvex_plain_bench [--runs N] [--no-pin] SCRIPT...
//   kalvex_plain_bench --write-scripts DIR ROWS
//
// The second form writes DIR/big.copy.sql and DIR/big.inserts.sql, shaped the way pg_dump
// writes them, for machines without PostgreSQL's programs.
// Every scan runs in a fresh child process so that its peak RSS is its own.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/CreateDumpReader.h"
#include "dump/DumpFile.h"
#include "platform/Utf8.h"

using bench::Clock;
using bench::Seconds;

namespace {

constexpr size_t kReadWindow = size_t{4} << 20;
constexpr double kMB = 1e6;

std::u16string Wide(const std::string& path) {
    return platform::Utf8ToUtf16(path.data(), path.size());
}

std::string Narrow(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

uint64_t CountLines(const char* data, size_t length) {
    uint64_t lines = 0;
    const char* end = data + length;
    for (const char* at = data;
         (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) !=
         nullptr;
         ++at) {
        ++lines;
    }
    return lines;
}

// What the machine does at best: large reads and memchr over every byte.
struct FloorResult {
    double seconds = 0;
    uint64_t lines = 0;
    uint64_t bytes = 0;
};

FloorResult MemchrFloor(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) bench::Fail("kalvex_plain_bench", "cannot open %s", path.c_str());
    std::unique_ptr<char[]> buffer(new char[kReadWindow]);
    FloorResult result;
    const Clock::time_point start = Clock::now();
    for (;;) {
        const ssize_t n = read(fd, buffer.get(), kReadWindow);
        if (n < 0) bench::Fail("kalvex_plain_bench", "read error on %s", path.c_str());
        if (n == 0) break;
        result.bytes += static_cast<uint64_t>(n);
        result.lines += CountLines(buffer.get(), static_cast<size_t>(n));
    }
    result.seconds = Seconds(start, Clock::now());
    close(fd);
    return result;
}

class CountingSink : public IDataSink {
public:
    bool Write(const char* data, size_t length) override {
        bytes += length;
        lines += CountLines(data, length);
        return true;
    }
    uint64_t bytes = 0;
    uint64_t lines = 0;
};

struct ScanResult {
    double scanSeconds = 0;
    double loadSeconds = 0;
    uint64_t tables = 0;
    uint64_t rows = 0;       // all tables
    uint64_t loadRows = 0;   // the largest table, as the scan counted them
    uint64_t loadLines = 0;  // lines delivered by ReadTableData
    uint64_t loadBytes = 0;  // COPY text delivered
    uint64_t loadRange = 0;  // script bytes of the table's data
    int32_t loadKind = 0;
    long peakKiB = 0;  // ru_maxrss of the child
    char loadName[256] = {};
};

// Runs in the child: scan, then load the table with the most rows.
ScanResult ScanOnce(const std::string& path, bool load) {
    ScanResult result;
    std::u16string error;
    const Clock::time_point start = Clock::now();
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(Wide(path), error);
    if (!dump || !dump->Scan(nullptr, error))
        bench::Fail("kalvex_plain_bench", "%s: %s", path.c_str(), Narrow(error).c_str());
    result.scanSeconds = Seconds(start, Clock::now());
    const TableEntry* largest = nullptr;
    for (const TableEntry& t : dump->GetTables()) {
        ++result.tables;
        result.rows += t.rowCount;
        if (largest == nullptr || t.rowCount > largest->rowCount) largest = &t;
    }
    if (load && largest != nullptr) {
        CountingSink sink;
        const Clock::time_point loadStart = Clock::now();
        if (!dump->ReadTableData(*largest, sink, nullptr, error)) {
            bench::Fail("kalvex_plain_bench", "%s: %s", path.c_str(), Narrow(error).c_str());
        }
        result.loadSeconds = Seconds(loadStart, Clock::now());
        result.loadRows = largest->rowCount;
        result.loadLines = sink.lines;
        result.loadBytes = sink.bytes;
        result.loadRange = static_cast<uint64_t>(largest->dataEnd - largest->dataOffset);
        result.loadKind = largest->dataKind;
        std::snprintf(result.loadName, sizeof result.loadName, "%s",
                      Narrow(largest->QualifiedName()).c_str());
    }
    return result;
}

ScanResult ScanInChild(const std::string& path, bool load) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) bench::Fail("kalvex_plain_bench", "pipe failed");
    const pid_t pid = fork();
    if (pid < 0) bench::Fail("kalvex_plain_bench", "fork failed");
    if (pid == 0) {
        close(pipeFds[0]);
        const ScanResult result = ScanOnce(path, load);
        const ssize_t written = write(pipeFds[1], &result, sizeof result);
        _exit(written == static_cast<ssize_t>(sizeof result) ? 0 : 1);
    }
    close(pipeFds[1]);
    ScanResult result;
    const ssize_t got = read(pipeFds[0], &result, sizeof result);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (got != static_cast<ssize_t>(sizeof result) || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        bench::Fail("kalvex_plain_bench", "the scan of %s failed", path.c_str());
    }
    result.peakKiB = usage.ru_maxrss;
    return result;
}

void WarmUp(const std::string& path) {
    MemchrFloor(path);
}

void PinToOneCpu() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set)) {
            CPU_ZERO(&set);
            CPU_SET(cpu, &set);
            sched_setaffinity(0, sizeof set, &set);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Scripts written without PostgreSQL, in pg_dump's layout
// ---------------------------------------------------------------------------

struct Row {
    int64_t id;
    std::string name;
    std::string amount;
    std::string created;
    bool noteNull;
    std::string note;
};

Row MakeRow(int64_t i) {
    static const char kHex[] = "0123456789abcdef";
    Row row;
    row.id = i;
    uint64_t x = static_cast<uint64_t>(i) * 0x9E3779B97F4A7C15ull;
    const size_t length = 20 + static_cast<size_t>((i * 7) % 41);
    for (size_t k = 0; k < length; ++k) {
        if (k == 32) {
            row.name += ' ';
            continue;
        }
        x ^= x >> 29;
        x *= 0xBF58476D1CE4E5B9ull;
        row.name += kHex[x & 15];
    }
    const int64_t cents = (i * 7919) % 10000000;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%" PRId64 ".%02d", cents / 100,
                  static_cast<int>(cents % 100));
    row.amount = buffer;
    const int64_t seconds = (i * 37) % 100000000;
    const time_t t = 1577836800 + seconds;  // 2020-01-01
    tm parts{};
    gmtime_r(&t, &parts);
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &parts);
    row.created = buffer;
    row.noteNull = i % 3 == 0;
    row.note = "note " + std::to_string(i % 1000);
    return row;
}

const char* const kHeader =
    "--\n-- PostgreSQL database dump\n--\n\n"
    "SET statement_timeout = 0;\nSET client_encoding = 'UTF8';\n"
    "SET standard_conforming_strings = on;\n"
    "SELECT pg_catalog.set_config('search_path', '', false);\n\n"
    "CREATE TABLE public.bench_big (\n    id integer NOT NULL,\n    name text NOT NULL,\n"
    "    amount numeric(12,2),\n    created timestamp without time zone,\n    note text\n);\n\n"
    "ALTER TABLE public.bench_big OWNER TO postgres;\n\n";

void WriteScripts(const std::string& dir, int64_t rows) {
    const std::string copyPath = dir + "/big.copy.sql";
    const std::string insertPath = dir + "/big.inserts.sql";
    FILE* copy = std::fopen(copyPath.c_str(), "wb");
    FILE* inserts = std::fopen(insertPath.c_str(), "wb");
    if (copy == nullptr || inserts == nullptr)
        bench::Fail("kalvex_plain_bench", "cannot write the scripts in %s", dir.c_str());
    std::fputs(kHeader, copy);
    std::fputs(kHeader, inserts);
    std::fputs(
        "--\n-- Data for Name: bench_big; Type: TABLE DATA; Schema: public; Owner: postgres\n"
        "--\n\nCOPY public.bench_big (id, name, amount, created, note) FROM stdin;\n",
        copy);
    for (int64_t i = 1; i <= rows; ++i) {
        const Row r = MakeRow(i);
        std::fprintf(copy, "%" PRId64 "\t%s\t%s\t%s\t%s\n", r.id, r.name.c_str(), r.amount.c_str(),
                     r.created.c_str(), r.noteNull ? "\\N" : r.note.c_str());
        std::fprintf(inserts, "INSERT INTO public.bench_big VALUES (%" PRId64 ", '%s', %s, '%s', ",
                     r.id, r.name.c_str(), r.amount.c_str(), r.created.c_str());
        if (r.noteNull) {
            std::fputs("NULL);\n", inserts);
        } else {
            std::fprintf(inserts, "'%s');\n", r.note.c_str());
        }
    }
    std::fputs("\\.\n\n\n--\n-- PostgreSQL database dump complete\n--\n\n", copy);
    std::fputs("\n\n--\n-- PostgreSQL database dump complete\n--\n\n", inserts);
    if (std::fclose(copy) != 0 || std::fclose(inserts) != 0)
        bench::Fail("kalvex_plain_bench", "write error in %s", dir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    bool pin = true;
    std::vector<std::string> scripts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--no-pin") {
            pin = false;
        } else if (arg == "--write-scripts" && i + 2 < argc) {
            WriteScripts(argv[i + 1], std::atoll(argv[i + 2]));
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            bench::Fail("kalvex_plain_bench", "unknown option %s", arg.c_str());
        } else {
            scripts.push_back(arg);
        }
    }
    if (scripts.empty()) {
        std::fprintf(stderr,
                     "usage: kalvex_plain_bench [--runs N] [--no-pin] SCRIPT...\n"
                     "       kalvex_plain_bench --write-scripts DIR ROWS\n");
        return 2;
    }
    if (pin) PinToOneCpu();

    std::printf(
        "Plain SQL scripts: scan (CreateDumpReader + Scan) against memchr line counting "
        "of the same file\n(4 MiB reads), best of %d; load = ReadTableData of the largest "
        "table into a counting sink.\n1 MB = 10^6 bytes; MB/s of script bytes unless "
        "said otherwise.\n",
        runs);
    for (const std::string& path : scripts) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0)
            bench::Fail("kalvex_plain_bench", "cannot find %s", path.c_str());
        const double size = static_cast<double>(info.st_size);
        WarmUp(path);

        // Floor and scan take turns; the best time of each counts, the highest peak.
        FloorResult floor;
        floor.seconds = 1e30;
        ScanResult best;
        double scanSeconds = 1e30, loadSeconds = 1e30;
        long peakKiB = 0;
        for (int run = 0; run < runs; ++run) {
            const FloorResult f = MemchrFloor(path);
            if (f.seconds < floor.seconds) floor = f;
            best = ScanInChild(path, true);
            scanSeconds = std::min(scanSeconds, best.scanSeconds);
            loadSeconds = std::min(loadSeconds, best.loadSeconds);
            peakKiB = std::max(peakKiB, best.peakKiB);
        }
        best.scanSeconds = scanSeconds;
        best.loadSeconds = loadSeconds;
        best.peakKiB = peakKiB;
        const double floorRate = size / floor.seconds / kMB;
        const double scanRate = size / best.scanSeconds / kMB;
        const double share = scanRate / floorRate * 100;
        const bool copyScript = best.loadKind == TableDataKind_Copy;

        std::printf("\n%s: %.1f MB, %" PRIu64 " lines, %" PRIu64 " tables, %" PRIu64 " rows\n",
                    path.c_str(), size / kMB, floor.lines, best.tables, best.rows);
        std::printf("  floor (memchr)  %8.3f s  %8.0f MB/s\n", floor.seconds, floorRate);
        std::printf("  scan            %8.3f s  %8.0f MB/s  = %.0f %% of the floor",
                    best.scanSeconds, scanRate, share);
        if (copyScript) {
            std::printf("  (target >= 50 %% for a COPY script: %s)",
                        share >= 50 ? "met" : "NOT met");
        }
        std::printf("\n  scan peak RSS   %8.1f MB\n",
                    static_cast<double>(best.peakKiB) * 1024 / kMB);
        if (best.loadName[0] != '\0') {
            std::printf("  load %s (%s, %" PRIu64 " rows counted, %" PRIu64 " delivered)\n",
                        best.loadName, copyScript ? "COPY" : "INSERT", best.loadRows,
                        best.loadLines);
            std::printf(
                "                  %8.3f s  %8.0f MB/s of script, %.0f MB/s of COPY text, "
                "%.2f M rows/s\n",
                best.loadSeconds, static_cast<double>(best.loadRange) / best.loadSeconds / kMB,
                static_cast<double>(best.loadBytes) / best.loadSeconds / kMB,
                static_cast<double>(best.loadLines) / best.loadSeconds / 1e6);
            if (best.loadLines != best.loadRows) {
                std::printf("  WARNING: the load delivered %" PRIu64
                            " rows, the scan counted %" PRIu64 "\n",
                            best.loadLines, best.loadRows);
            }
        }
    }
    return 0;
}
