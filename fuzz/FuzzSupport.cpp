#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "FuzzTarget.h"
#include "app/CreateDumpReader.h"
#include "dump/DumpFile.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "store/TableData.h"

std::vector<FuzzTargetEntry>& FuzzTargets() {
    static std::vector<FuzzTargetEntry> targets;
    return targets;
}

namespace fuzz {

namespace {

// The scratch files of this process, removed when it ends.
struct ScratchFiles {
    std::set<std::string> paths;
    ~ScratchFiles() {
        for (const std::string& path : paths) std::remove(path.c_str());
    }
};

}  // namespace

std::u16string WriteInput(const uint8_t* data, size_t size, const char* suffix) {
    static ScratchFiles scratch;
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") +
                             "/kalvex-fuzz-" + std::to_string(::getpid()) + suffix;
    scratch.paths.insert(path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        if (size > 0) std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    return platform::Utf8ToUtf16(path);
}

void OpenScanLoad(const std::u16string& path, size_t maxTables) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(path, error);
    if (!dump) return;
    if (!dump->Scan(nullptr, error)) return;
    size_t loaded = 0;
    for (const TableEntry& table : dump->GetTables()) {
        if (loaded++ == maxTables) break;
        CTableData data;
        if (!data.Load(*dump, table, nullptr, error)) continue;
        RowCells cells;
        for (size_t row = 0; row < data.GetRowCount(); ++row) data.GetRow(row, cells);
    }
}

}  // namespace fuzz
