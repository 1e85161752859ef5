// Scan and load of lz4- and zstd-compressed custom archives, against PostgreSQL 18's own
// pg_restore reading the same table out of the same file.
//
//   kalvex_compressed_bench --pg-restore PATH [--runs N] ARCHIVE...
//
// For each archive, best of N runs each, taking turns:
//   scan        CreateDumpReader + IDumpFile::Scan (open, TOC, row counting of every table);
//   pg_restore  pg_restore -a -n SCHEMA -t TABLE -f /dev/null ARCHIVE for its biggest table;
//   load        CTableData::Load of that table into the row store (spool file included).
// Targets: scan at most 0.7 times pg_restore's time; load at most 1.15 times the scan.
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

double TimeRestore(const std::string& pgRestore, const std::string& archive,
                   const std::string& schema, const std::string& table) {
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) bench::Fail(kProgram, "fork failed");
    if (pid == 0) {
        ::execl(pgRestore.c_str(), pgRestore.c_str(), "-a", "-n", schema.c_str(), "-t",
                table.c_str(), "-f", "/dev/null", archive.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        bench::Fail(kProgram, "%s failed on %s", pgRestore.c_str(), archive.c_str());
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

    std::printf("%-28s %6s %9s %9s %9s %7s %9s %7s\n", "archive", "comp", "COPY MB", "scan s",
                "restore s", "ratio", "load s", "l/scan");
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

        double scan = 1e9, restore = 1e9, load = 1e9;
        for (int run = 0; run < runs; ++run) {
            scan = std::min(scan, TimeScan(archive));
            restore = std::min(restore, TimeRestore(pgRestore, archive, Narrow(biggest->schema),
                                                    Narrow(biggest->name)));
            load = std::min(load, TimeLoad(*dump, *biggest));
        }
        const std::string name = archive.substr(archive.find_last_of('/') + 1);
        std::printf("%-28s %6s %9.1f %9.3f %9.3f %6.2fx %9.3f %6.2fx\n", name.c_str(),
                    Narrow(dump->GetInfo().compression).c_str(), counter.bytes / 1e6, scan, restore,
                    scan / restore, load, load / scan);
        std::printf(
            "  %s rows of %s; scan %.0f MB/s; targets: scan <= 0.70x pg_restore (%s), "
            "load <= 1.15x scan (%s)\n",
            std::to_string(biggest->rowCount).c_str(), Narrow(biggest->QualifiedName()).c_str(),
            counter.bytes / 1e6 / scan, scan / restore <= 0.70 ? "met" : "missed",
            load / scan <= 1.15 ? "met" : "missed");
    }
    DeleteTempFiles();
    return 0;
}
