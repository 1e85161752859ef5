// Scan and load of compressed dumps against the tools that read the same file: pg_restore
// for custom archives, gzip -dc for gzip plain scripts.
//
//   kalvex_compressed_bench --pg-restore PATH [--runs N] DUMP...
//
// For each dump, best of N runs each, taking turns:
//   scan        CreateDumpReader + IDumpFile::Scan (open, TOC, row counting of every table;
//               for a script, its expansion and the statement scan);
//   reference   pg_restore -a -n SCHEMA -t TABLE -f /dev/null ARCHIVE for its biggest table,
//               or gzip -dc SCRIPT >/dev/null;
//   load        CTableData::Load of that table into the row store (spool file included).
// gzip dumps are measured with both inflate backends, ISA-L and zlib, in the same run.
// Targets: scan at most 0.4 (gzip archive), 0.7 (lz4, zstd archive) or 0.5 (gzip script)
// times the reference; load at most 1.15 times the scan.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/CreateDumpReader.h"
#include "dump/DumpFile.h"
#include "dump/InflateStream.h"
#include "platform/TempFiles.h"
#include "platform/Utf8.h"
#include "store/TableData.h"

using bench::Clock;
using bench::Seconds;

namespace {

constexpr const char* kProgram = "kalvex_compressed_bench";

std::string Narrow(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

// Counts the bytes of a table's COPY text, once, outside the timing.
class CCountingSink : public IDataSink {
public:
    bool Write(const char*, size_t length) override {
        bytes += length;
        return true;
    }
    uint64_t bytes = 0;
};

double TimeScan(const std::string& archive) {
    const auto start = Clock::now();
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(platform::Utf8ToUtf16(archive), error);
    if (!dump || !dump->Scan(nullptr, error)) bench::Fail(kProgram, "%s", Narrow(error).c_str());
    return Seconds(start);
}

// Runs a command with its output thrown away.
double TimeCommand(const std::vector<std::string>& args) {
    // The child must not print what this process still holds in its buffer.
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) bench::Fail(kProgram, "fork failed");
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::FILE* null = std::freopen("/dev/null", "w", stdout);
        (void)null;
        ::execvp(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        bench::Fail(kProgram, "%s failed on %s", args[0].c_str(), args.back().c_str());
    return Seconds(start);
}

double TimeLoad(IDumpFile& dump, const TableEntry& table) {
    CTableData data;
    std::u16string error;
    const auto start = Clock::now();
    if (!data.Load(dump, table, nullptr, error)) bench::Fail(kProgram, "%s", Narrow(error).c_str());
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::string pgRestore;
    std::vector<std::string> archives;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--pg-restore") == 0 && i + 1 < argc) {
            pgRestore = argv[++i];
        } else {
            archives.push_back(argv[i]);
        }
    }
    if (pgRestore.empty() || archives.empty()) {
        std::fprintf(stderr, "usage: %s --pg-restore PATH [--runs N] ARCHIVE...\n", kProgram);
        return 2;
    }

    std::printf("%-22s %5s %5s %8s %8s %8s %7s %8s %7s\n", "dump", "comp", "infl", "COPY MB",
                "scan s", "ref s", "ratio", "load s", "l/scan");
    for (const std::string& archive : archives) {
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = CreateDumpReader(platform::Utf8ToUtf16(archive), error);
        if (!dump || !dump->Scan(nullptr, error))
            bench::Fail(kProgram, "%s", Narrow(error).c_str());
        const TableEntry* biggest = nullptr;
        for (const TableEntry& t : dump->GetTables()) {
            if (biggest == nullptr || t.rowCount > biggest->rowCount) biggest = &t;
        }
        if (biggest == nullptr) bench::Fail(kProgram, "%s has no table", archive.c_str());
        CCountingSink counter;
        if (!dump->ReadTableData(*biggest, counter, nullptr, error))
            bench::Fail(kProgram, "%s", Narrow(error).c_str());

        const std::string compression = Narrow(dump->GetInfo().compression);
        const bool script = dump->GetInfo().formatName.rfind(u"Plain", 0) == 0;
        std::vector<std::string> reference;
        if (script) {
            reference = {"gzip", "-dc", archive};
        } else {
            reference = {pgRestore, "-a",
                         "-n",      Narrow(biggest->schema),
                         "-t",      Narrow(biggest->name),
                         "-f",      "/dev/null",
                         archive};
        }
        const double target = script ? 0.5 : compression == "gzip" ? 0.4 : 0.7;
        std::vector<InflateBackend> backends = {InflateBackend::Isal};
        if (compression == "gzip") backends.push_back(InflateBackend::Zlib);

        double ref = 1e9;
        std::vector<double> scan(backends.size(), 1e9), load(backends.size(), 1e9);
        for (int run = 0; run < runs; ++run) {
            ref = std::min(ref, TimeCommand(reference));
            for (size_t b = 0; b < backends.size(); ++b) {
                SetDefaultInflateBackend(backends[b]);
                scan[b] = std::min(scan[b], TimeScan(archive));
                load[b] = std::min(load[b], TimeLoad(*dump, *biggest));
            }
        }
        const std::string name = archive.substr(archive.find_last_of('/') + 1);
        for (size_t b = 0; b < backends.size(); ++b) {
            const char* backend = compression != "gzip"                 ? "-"
                                  : backends[b] == InflateBackend::Isal ? "isal"
                                                                        : "zlib";
            std::printf("%-22s %5s %5s %8.1f %8.3f %8.3f %6.2fx %8.3f %6.2fx\n", name.c_str(),
                        compression.c_str(), backend, counter.bytes / 1e6, scan[b], ref,
                        scan[b] / ref, load[b], load[b] / scan[b]);
        }
        std::printf(
            "  %s rows of %s; reference %s; scan %.0f MB/s; targets: scan <= %.2fx (%s), "
            "load <= 1.15x scan (%s)\n",
            std::to_string(biggest->rowCount).c_str(), Narrow(biggest->QualifiedName()).c_str(),
            script ? "gzip -dc" : "pg_restore", counter.bytes / 1e6 / scan[0], target,
            scan[0] / ref <= target ? "met" : "missed",
            load[0] / scan[0] <= 1.15 ? "met" : "missed");
        std::fflush(stdout);
    }
    DeleteTempFiles();
    return 0;
}
