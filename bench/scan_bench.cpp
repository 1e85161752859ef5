// Measures the row-counting scan of custom archives against what the machine can do at
// best on the same bytes: zlib inflate plus memchr line counting for gzip archives, memchr
// line counting over large reads for uncompressed ones.
//
//   kalvex_scan_bench [--runs N] [--no-pin] [--floor-out KIB] [--expect-rows N ARCHIVE...]...
//
// --expect-rows applies to the archives that follow it.
// Every scan runs in a fresh child process so that its peak RSS is its own.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

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
#include "dump/ArchiveDump.h"
#include "dump/DumpFile.h"
#include "platform/Utf8.h"

using bench::Clock;
using bench::Seconds;

namespace {

constexpr uint8_t kBlockData = 1;
constexpr size_t kReadWindow = size_t{4} << 20;
constexpr double kMB = 1e6;

std::string Narrow(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

long MaxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// VmHWM: the peak RSS of this process image alone, nothing inherited through exec.
long HighWaterKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return 0;
    char line[256];
    long value = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld", &value) == 1) break;
    }
    std::fclose(status);
    return value;
}

uint64_t CountLines(const char* data, size_t length) {
    uint64_t lines = 0;
    const char* p = data;
    const char* const end = data + length;
    while (p < end) {
        const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
        if (lf == nullptr) break;
        ++lines;
        p = static_cast<const char*>(lf) + 1;
    }
    return lines;
}

// The file descriptor of one archive, read with pread only.
class RawFile {
public:
    explicit RawFile(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) bench::Fail("kalvex_scan_bench", "cannot open %s", path.c_str());
        struct stat st {};
        if (::fstat(m_fd, &st) != 0)
            bench::Fail("kalvex_scan_bench", "cannot stat %s", path.c_str());
        m_size = static_cast<uint64_t>(st.st_size);
    }
    ~RawFile() { ::close(m_fd); }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    uint64_t Size() const { return m_size; }

    size_t Read(uint64_t offset, char* buffer, size_t length) const {
        size_t done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(m_fd, buffer + done, length - done, static_cast<off_t>(offset + done));
            if (n < 0) bench::Fail("kalvex_scan_bench", "pread failed");
            if (n == 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

private:
    int m_fd = -1;
    uint64_t m_size = 0;
};

// Reads the whole file once so that every timed run finds it in the page cache.
void WarmPageCache(const RawFile& file) {
    std::vector<char> buffer(kReadWindow);
    for (uint64_t offset = 0; offset < file.Size(); offset += kReadWindow) {
        file.Read(offset, buffer.data(), kReadWindow);
    }
}

// A large read window over the file; refilling simply reads again from the current
// position, which costs a few bytes and no copying.
class Window {
public:
    Window(const RawFile& file, std::vector<char>& buffer) : m_file(file), m_buffer(buffer) {}

    void Seek(uint64_t offset) {
        m_start = offset;
        m_fill = m_pos = 0;
    }
    bool Ensure(size_t count) {
        if (m_fill - m_pos >= count) return true;
        m_start += m_pos;
        m_pos = 0;
        m_fill = m_file.Read(m_start, m_buffer.data(), m_buffer.size());
        return m_fill >= count;
    }
    const char* Data() const { return m_buffer.data() + m_pos; }
    size_t Available() const { return m_fill - m_pos; }
    void Consume(size_t count) { m_pos += count; }

    // Sign byte (from version 1.0.1 on), then intSize little-endian bytes.
    int64_t ReadInt(const ArchiveHeader& header) {
        const bool hasSign = header.version > ArchiveVersion(1, 0);
        const size_t width = static_cast<size_t>(header.intSize) + (hasSign ? 1 : 0);
        if (!Ensure(width)) bench::Fail("kalvex_scan_bench", "archive ends inside an integer");
        const auto* p = reinterpret_cast<const unsigned char*>(Data());
        const bool negative = hasSign && p[0] != 0;
        if (hasSign) ++p;
        uint64_t value = 0;
        for (int i = 0; i < header.intSize && i < 8; ++i) value |= uint64_t{p[i]} << (8 * i);
        Consume(width);
        return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    }

private:
    const RawFile& m_file;
    std::vector<char>& m_buffer;
    uint64_t m_start = 0;
    size_t m_fill = 0;
    size_t m_pos = 0;
};

// Allocated and touched once per archive, so that no run pays for page faults.
struct FloorBuffers {
    explicit FloorBuffers(size_t outputSize) : window(kReadWindow, 1), output(outputSize, 1) {}
    std::vector<char> window;
    std::vector<char> output;
};

struct FloorResult {
    uint64_t bytes = 0;  // COPY text bytes produced
    uint64_t lines = 0;
};

// Calls consume(data, length) for every piece of every chunk of the block at offset.
template <typename Consume>
void WalkBlock(Window& window, const ArchiveHeader& header, uint64_t offset, Consume&& consume) {
    window.Seek(offset);
    if (!window.Ensure(1) || static_cast<uint8_t>(*window.Data()) != kBlockData) {
        bench::Fail("kalvex_scan_bench", "no data block at %" PRIu64, offset);
    }
    window.Consume(1);
    window.ReadInt(header);  // dump id
    for (;;) {
        const int64_t length = window.ReadInt(header);
        if (length < 0)
            bench::Fail("kalvex_scan_bench", "negative chunk length at block %" PRIu64, offset);
        if (length == 0) return;
        uint64_t remaining = static_cast<uint64_t>(length);
        while (remaining > 0) {
            if (!window.Ensure(1)) bench::Fail("kalvex_scan_bench", "archive ends inside a chunk");
            const size_t take =
                static_cast<size_t>(std::min<uint64_t>(remaining, window.Available()));
            consume(window.Data(), take);
            window.Consume(take);
            remaining -= take;
        }
    }
}

FloorResult PlainFloor(const RawFile& file, const ArchiveHeader& header,
                       const std::vector<uint64_t>& blocks, FloorBuffers& buffers) {
    FloorResult result;
    Window window(file, buffers.window);
    for (uint64_t offset : blocks) {
        WalkBlock(window, header, offset, [&](const char* data, size_t length) {
            result.bytes += length;
            result.lines += CountLines(data, length);
        });
    }
    return result;
}

FloorResult InflateFloor(const RawFile& file, const ArchiveHeader& header,
                         const std::vector<uint64_t>& blocks, FloorBuffers& buffers) {
    FloorResult result;
    Window window(file, buffers.window);
    std::vector<char>& output = buffers.output;
    for (uint64_t offset : blocks) {
        z_stream zs{};
        if (inflateInit2(&zs, 15) != Z_OK) bench::Fail("kalvex_scan_bench", "inflateInit2 failed");
        bool ended = false;
        WalkBlock(window, header, offset, [&](const char* data, size_t length) {
            if (ended) return;
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
            zs.avail_in = static_cast<uInt>(length);
            do {
                zs.next_out = reinterpret_cast<Bytef*>(output.data());
                zs.avail_out = static_cast<uInt>(output.size());
                const int rc = inflate(&zs, Z_NO_FLUSH);
                const size_t produced = output.size() - zs.avail_out;
                result.bytes += produced;
                result.lines += CountLines(output.data(), produced);
                if (rc == Z_STREAM_END) {
                    ended = true;
                    return;
                }
                if (rc != Z_OK && rc != Z_BUF_ERROR)
                    bench::Fail("kalvex_scan_bench", "inflate failed: %d", rc);
            } while (zs.avail_in > 0 || zs.avail_out == 0);
        });
        inflateEnd(&zs);
    }
    return result;
}

class CountingSink : public IDataSink {
public:
    bool Write(const char*, size_t length) override {
        m_bytes += length;
        return true;
    }
    uint64_t Bytes() const { return m_bytes; }

private:
    uint64_t m_bytes = 0;
};

// ---- The child: one timed scan, reported on stdout ----

int ScanOnce(const std::string& path) {
    const long rssBefore = MaxRssKiB();
    const auto start = Clock::now();
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(platform::Utf8ToUtf16(path), error);
    if (!dump || !dump->Scan(nullptr, error)) {
        std::fprintf(stderr, "kalvex_scan_bench: %s: %s\n", path.c_str(), Narrow(error).c_str());
        return 1;
    }
    const double seconds = Seconds(start, Clock::now());
    uint64_t rows = 0;
    for (const TableEntry& table : dump->GetTables()) rows += table.rowCount;
    std::printf("%.9f %" PRIu64 " %ld %ld\n", seconds, rows, rssBefore, HighWaterKiB());
    return 0;
}

struct ScanRun {
    double seconds = 0;
    uint64_t rows = 0;
    long rssBeforeKiB = 0;
    long hwmKiB = 0;
    long peakRssKiB = 0;
};

// fork, not posix_spawn: a vfork-style child carries the parent's peak RSS into its own
// ru_maxrss through exec, a forked one only what the parent holds at that moment.
ScanRun SpawnScan(const std::string& self, const std::string& path) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) bench::Fail("kalvex_scan_bench", "pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) bench::Fail("kalvex_scan_bench", "fork failed");
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execl(self.c_str(), self.c_str(), "--scan-once", path.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);

    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);

    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) bench::Fail("kalvex_scan_bench", "wait4 failed");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        bench::Fail("kalvex_scan_bench", "the scan of %s failed", path.c_str());
    ScanRun run;
    if (std::sscanf(text.c_str(), "%lf %" SCNu64 " %ld %ld", &run.seconds, &run.rows,
                    &run.rssBeforeKiB, &run.hwmKiB) != 4) {
        bench::Fail("kalvex_scan_bench", "unreadable scan report: %s", text.c_str());
    }
    run.peakRssKiB = usage.ru_maxrss;
    return run;
}

// Scans are forked from a helper that is forked at start-up, before any buffer exists:
// a forked child starts with its parent's resident pages in its ru_maxrss, and the
// helper has next to none, so the floors may keep their buffers between runs.
class ScanSpawner {
public:
    explicit ScanSpawner(const std::string& self) {
        int request[2];
        int reply[2];
        if (::pipe2(request, O_CLOEXEC) != 0 || ::pipe2(reply, O_CLOEXEC) != 0) {
            bench::Fail("kalvex_scan_bench", "pipe failed");
        }
        std::fflush(stdout);
        m_pid = ::fork();
        if (m_pid < 0) bench::Fail("kalvex_scan_bench", "fork failed");
        if (m_pid == 0) {
            ::close(request[1]);
            ::close(reply[0]);
            Serve(self, request[0], reply[1]);
            ::_exit(0);
        }
        ::close(request[0]);
        ::close(reply[1]);
        m_request = request[1];
        m_reply = reply[0];
    }
    ~ScanSpawner() {
        ::close(m_request);
        ::close(m_reply);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    ScanSpawner(const ScanSpawner&) = delete;
    ScanSpawner& operator=(const ScanSpawner&) = delete;

    ScanRun Run(const std::string& path) {
        const std::string line = path + "\n";
        if (::write(m_request, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            bench::Fail("kalvex_scan_bench", "the scan helper is gone");
        }
        std::string text;
        if (!ReadLine(m_reply, text))
            bench::Fail("kalvex_scan_bench", "the scan of %s failed", path.c_str());
        ScanRun run;
        if (std::sscanf(text.c_str(), "%lf %" SCNu64 " %ld %ld %ld", &run.seconds, &run.rows,
                        &run.rssBeforeKiB, &run.hwmKiB, &run.peakRssKiB) != 5) {
            bench::Fail("kalvex_scan_bench", "unreadable scan report: %s", text.c_str());
        }
        return run;
    }

private:
    static bool ReadLine(int fd, std::string& line) {
        line.clear();
        char c;
        while (::read(fd, &c, 1) == 1) {
            if (c == '\n') return true;
            line.push_back(c);
        }
        return false;
    }

    static void Serve(const std::string& self, int request, int reply) {
        std::string path;
        while (ReadLine(request, path)) {
            const ScanRun run = SpawnScan(self, path);
            char text[160];
            const int n =
                std::snprintf(text, sizeof text, "%.9f %" PRIu64 " %ld %ld %ld\n", run.seconds,
                              run.rows, run.rssBeforeKiB, run.hwmKiB, run.peakRssKiB);
            if (::write(reply, text, static_cast<size_t>(n)) != n) return;
        }
    }

    pid_t m_pid = -1;
    int m_request = -1;
    int m_reply = -1;
};

// ---- The parent: everything about one archive ----

struct Options {
    int runs = 3;
    bool pin = true;
    size_t floorOutput = size_t{256} << 10;
};

struct Archive {
    std::string path;
    int64_t expectRows = -1;
};

struct Result {
    std::string name;
    bool compressed = false;
    uint64_t fileSize = 0;
    uint64_t rows = 0;
    uint64_t copyBytes = 0;
    double scanSeconds = 0;
    double floorSeconds = 0;
    long peakRssKiB = 0;
    long rssBeforeKiB = 0;
    long hwmKiB = 0;

    double ScanMBps() const { return copyBytes / kMB / scanSeconds; }
    double FloorMBps() const { return copyBytes / kMB / floorSeconds; }
    double Ratio() const { return 100.0 * floorSeconds / scanSeconds; }
    double Target() const { return compressed ? 80.0 : 50.0; }
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Times(const std::vector<double>& seconds) {
    std::string text;
    char item[32];
    for (double s : seconds) {
        std::snprintf(item, sizeof item, "%s%.3f", text.empty() ? "" : " ", s);
        text += item;
    }
    return text;
}

Result MeasureArchive(ScanSpawner& spawner, const Archive& archiveArg, const Options& options) {
    const std::string& path = archiveArg.path;
    Result result;
    result.name = BaseName(path);
    RawFile file(path);
    result.fileSize = file.Size();
    WarmPageCache(file);

    // Untimed: the layout the floors walk and the COPY text size everything is divided by.
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(platform::Utf8ToUtf16(path), error);
    if (!dump || !dump->Scan(nullptr, error))
        bench::Fail("kalvex_scan_bench", "%s: %s", path.c_str(), Narrow(error).c_str());
    auto* archive = dynamic_cast<CArchiveDump*>(dump.get());
    if (archive == nullptr)
        bench::Fail("kalvex_scan_bench", "%s is not a custom archive", path.c_str());
    const ArchiveHeader header = archive->GetHeader();
    if (header.compression != 0 && header.compression != 1) {
        bench::Fail("kalvex_scan_bench", "%s: only gzip and uncompressed archives are measured",
                    path.c_str());
    }
    result.compressed = header.compression == 1;
    for (TableEntry& table : dump->GetTables()) {
        result.rows += table.rowCount;
        if (table.dataKind == TableDataKind_None) continue;
        CountingSink sink;
        if (!dump->ReadTableData(table, sink, nullptr, error)) {
            bench::Fail("kalvex_scan_bench", "%s: %s", path.c_str(), Narrow(error).c_str());
        }
        result.copyBytes += sink.Bytes();
    }
    std::vector<uint64_t> blocks;
    for (const auto& [dumpId, offset] : archive->GetBlockPositions()) {
        blocks.push_back(static_cast<uint64_t>(offset));
    }
    std::sort(blocks.begin(), blocks.end());
    dump.reset();
    if (result.copyBytes == 0)
        bench::Fail("kalvex_scan_bench", "%s holds no table data", path.c_str());

    // Scan and floor take turns, so that a slow moment of the machine hits both alike.
    FloorBuffers buffers(options.floorOutput);
    std::vector<double> scanTimes;
    std::vector<double> floorTimes;
    result.scanSeconds = 1e300;
    result.floorSeconds = 1e300;
    FloorResult floor;
    for (int i = 0; i < options.runs; ++i) {
        const ScanRun run = spawner.Run(path);
        if (run.rows != result.rows) {
            bench::Fail("kalvex_scan_bench",
                        "%s: a timed scan counted %" PRIu64 " rows, the untimed one %" PRIu64,
                        path.c_str(), run.rows, result.rows);
        }
        scanTimes.push_back(run.seconds);
        result.scanSeconds = std::min(result.scanSeconds, run.seconds);
        result.peakRssKiB = std::max(result.peakRssKiB, run.peakRssKiB);
        result.rssBeforeKiB = std::max(result.rssBeforeKiB, run.rssBeforeKiB);
        result.hwmKiB = std::max(result.hwmKiB, run.hwmKiB);

        const auto start = Clock::now();
        floor = result.compressed ? InflateFloor(file, header, blocks, buffers)
                                  : PlainFloor(file, header, blocks, buffers);
        const double seconds = Seconds(start, Clock::now());
        floorTimes.push_back(seconds);
        result.floorSeconds = std::min(result.floorSeconds, seconds);
    }

    const char* kind = result.compressed ? "gzip" : "uncompressed";
    std::printf("%s  (%s, file %.1f MB, %" PRIu64 " rows, COPY text %.1f MB = %" PRIu64 " bytes)\n",
                result.name.c_str(), kind, result.fileSize / kMB, result.rows,
                result.copyBytes / kMB, result.copyBytes);
    std::printf("  scan   CreateDumpReader + Scan       %8.3f s  %8.1f MB/s   runs: %s\n",
                result.scanSeconds, result.ScanMBps(), Times(scanTimes).c_str());
    std::printf("  floor  %-30s %8.3f s  %8.1f MB/s   runs: %s\n",
                result.compressed ? "zlib inflate + memchr lines" : "pread + memchr lines",
                result.floorSeconds, result.FloorMBps(), Times(floorTimes).c_str());
    std::printf("  scan / floor                         %7.1f %%   target >= %.0f %%   %s\n",
                result.Ratio(), result.Target(),
                result.Ratio() >= result.Target() ? "meets the target" : "BELOW the target");
    std::printf(
        "  peak RSS of the scan process         %7.1f MiB  (ru_maxrss; %.1f MiB before the scan, "
        "VmHWM %.1f MiB)\n",
        result.peakRssKiB / 1024.0, result.rssBeforeKiB / 1024.0, result.hwmKiB / 1024.0);
    if (floor.bytes != result.copyBytes) {
        std::printf("  warning: the floor produced %" PRIu64 " bytes, the reader %" PRIu64 "\n",
                    floor.bytes, result.copyBytes);
    }
    if (archiveArg.expectRows >= 0 && result.rows != static_cast<uint64_t>(archiveArg.expectRows)) {
        std::printf("  warning: %" PRIu64 " rows counted, %" PRId64 " expected\n", result.rows,
                    archiveArg.expectRows);
    }
    std::printf("\n");
    std::fflush(stdout);
    return result;
}

void PrintSummary(const std::vector<Result>& results) {
    std::printf("%-28s %-6s %10s %9s %10s %10s %7s %7s %9s\n", "archive", "kind", "rows", "COPY MB",
                "scan MB/s", "floor MB/s", "ratio", "target", "peak RSS");
    for (const Result& r : results) {
        std::printf("%-28s %-6s %10" PRIu64 " %9.1f %10.1f %10.1f %6.1f%% %6.0f%% %5.1f MiB\n",
                    r.name.c_str(), r.compressed ? "gzip" : "none", r.rows, r.copyBytes / kMB,
                    r.ScanMBps(), r.FloorMBps(), r.Ratio(), r.Target(), r.peakRssKiB / 1024.0);
    }
    // Memory must not grow with the table: set the peaks of each kind side by side.
    for (bool compressed : {true, false}) {
        std::string line;
        char item[96];
        for (const Result& r : results) {
            if (r.compressed != compressed) continue;
            std::snprintf(item, sizeof item, "%s%" PRIu64 " rows: %.1f MiB",
                          line.empty() ? "" : ", ", r.rows, r.peakRssKiB / 1024.0);
            line += item;
        }
        if (!line.empty()) {
            std::printf("peak RSS by table size (%s): %s\n", compressed ? "gzip" : "none",
                        line.c_str());
        }
    }
}

std::string SelfPath() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) bench::Fail("kalvex_scan_bench", "cannot find this program's own path");
    return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--scan-once") == 0) return ScanOnce(argv[2]);

    Options options;
    int64_t expectRows = -1;
    std::vector<Archive> archives;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> long long {
            if (i + 1 >= argc) bench::Fail("kalvex_scan_bench", "%s needs a value", arg.c_str());
            return std::atoll(argv[++i]);
        };
        if (arg == "--runs") {
            options.runs = static_cast<int>(std::max(1LL, value()));
        } else if (arg == "--expect-rows") {
            expectRows = value();
        } else if (arg == "--no-pin") {
            options.pin = false;
        } else if (arg == "--floor-out") {
            options.floorOutput = static_cast<size_t>(std::max(1LL, value())) << 10;
        } else if (!arg.empty() && arg[0] == '-') {
            bench::Fail("kalvex_scan_bench", "unknown option %s", arg.c_str());
        } else {
            archives.push_back({arg, expectRows});
        }
    }
    if (archives.empty()) {
        std::fprintf(stderr,
                     "usage: kalvex_scan_bench [--runs N] [--no-pin] [--floor-out KIB] "
                     "[--expect-rows N ARCHIVE...]...\n");
        return 2;
    }

    // One CPU for the parent and every forked scan: otherwise a scan may land on a core
    // whose caches never saw the file the floor just read, which skews small archives.
    int pinnedCpu = -1;
    if (options.pin) {
        const int cpu = sched_getcpu();
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(cpu, &set);
        if (cpu >= 0 && sched_setaffinity(0, sizeof set, &set) == 0) pinnedCpu = cpu;
    }
    char pinText[64] = "Not pinned to a CPU.";
    if (pinnedCpu >= 0) {
        std::snprintf(pinText, sizeof pinText, "Scans and floors pinned to CPU %d.", pinnedCpu);
    }
    std::printf(
        "Each archive is read once before timing, so every run finds it in the page\n"
        "cache: the figures are CPU throughput, not disk speed. Best of %d runs;\n"
        "MB/s is COPY text (decompressed table data) per second, 1 MB = 10^6 bytes.\n"
        "Each scan runs in a fresh process; its peak RSS is that process's ru_maxrss.\n"
        "zlib %s, floor inflate output buffer %zu KiB. %s\n\n",
        options.runs, zlibVersion(), options.floorOutput >> 10, pinText);
    ScanSpawner spawner(SelfPath());
    std::vector<Result> results;
    for (const Archive& archive : archives) {
        results.push_back(MeasureArchive(spawner, archive, options));
    }
    PrintSummary(results);
    return 0;
}
