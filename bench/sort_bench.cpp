// Sort benchmark: loads the first table of a dump into the row store, then sorts it by one
// column and reports the time of the sort alone and the process's peak memory.
//
//   kalvex_sort_bench DUMP COLUMN [MEMORY_MB]
//
// MEMORY_MB is the sort's key budget (SORT_MEMORY_MB; default 256). Peak memory is the
// whole process's, the load included, so run one sort per process.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/CreateDumpReader.h"
#include "app/SortedView.h"
#include "platform/TempFiles.h"
#include "platform/Utf8.h"
#include "sort/SortKeyList.h"
#include "sort/ViewSort.h"
#include "store/TableData.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kalvex_sort_bench DUMP COLUMN [MEMORY_MB]\n");
        return 2;
    }
    const int memoryMb = argc > 3 ? std::atoi(argv[3]) : 256;
    std::u16string error;
    auto dump = CreateDumpReader(platform::Utf8ToUtf16(argv[1]), error);
    if (!dump || (dump->CatalogueNeedsScan() && !dump->Scan(nullptr, error)) ||
        dump->GetTables().empty()) {
        std::fprintf(stderr, "cannot open: %s\n", platform::Utf16ToUtf8(error).c_str());
        return 1;
    }
    const TableEntry& entry = dump->GetTables()[0];
    std::vector<SortKey> keys;
    if (!ParseSortKeys(platform::Utf8ToUtf16(argv[2]), entry.columns, keys, error)) {
        std::fprintf(stderr, "%s\n", platform::Utf16ToUtf8(error).c_str());
        return 2;
    }
    CTableData table;
    if (!table.Load(*dump, entry, nullptr, error)) {
        std::fprintf(stderr, "cannot load: %s\n", platform::Utf16ToUtf8(error).c_str());
        return 1;
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    std::vector<uint32_t> order;
    const auto start = bench::Clock::now();
    const bool ok = SortTableView(table, entry.columns, keys, nullptr, SortMemoryBytes(memoryMb),
                                  nullptr, order, error);
    const double seconds = bench::Seconds(start, bench::Clock::now());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    if (!ok) {
        std::fprintf(stderr, "sort failed: %s\n", platform::Utf16ToUtf8(error).c_str());
        DeleteTempFiles();
        return 1;
    }
    std::printf(
        "sort %s by %s, budget %d MB: %zu rows in %.2f s; peak RSS %.0f MB (%.0f MB "
        "after loading)\n",
        platform::Utf16ToUtf8(entry.QualifiedName()).c_str(), argv[2], memoryMb, order.size(),
        seconds, after.ru_maxrss / 1024.0, before.ru_maxrss / 1024.0);
    DeleteTempFiles();
    return 0;
}
