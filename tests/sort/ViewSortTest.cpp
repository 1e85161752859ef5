#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/JobContext.h"
#include "sort/ViewSort.h"
#include "store/TableData.h"
#include "support/MemoryDump.h"
#include "support/TempFileList.h"
#include "support/TestJob.h"

namespace {

// One table with a column of every class: number, boolean, text, and an id to read the
// order by. Rows 0..9.
const char* const kRows =
    "0\t10\tt\tb\n"
    "1\tNaN\tf\tB\n"
    "2\tInfinity\t\\N\tあ\n"
    "3\t-5\ttrue\ta\n"
    "4\tabc\tno\t\\N\n"
    "5\t\\N\tt\tb\n"
    "6\t 10 \tyes\tA\n"
    "7\t-Infinity\tf\tア\n"
    "8\t1e2\tmaybe\tb\n"
    "9\tXYZ\t\\N\ta\n";

struct LoadedTable {
    MemoryDump dump{kRows, 65001, 4};
    CTableData data;
    LoadedTable() {
        std::vector<TableEntry>& tables = dump.GetTables();
        tables[0].columns[0].type = u"integer";
        tables[0].columns[1].type = u"double precision";
        tables[0].columns[2].type = u"boolean";
        tables[0].columns[3].type = u"text";
        std::u16string error;
        EXPECT_TRUE(data.Load(dump, dump.Table(), nullptr, error));
    }
    const std::vector<ColumnInfo>& Columns() { return dump.Table().columns; }
};

std::vector<uint32_t> Sort(LoadedTable& table, const std::vector<SortKey>& keys,
                           const std::vector<size_t>* viewRows = nullptr,
                           size_t memory = size_t{1} << 20) {
    std::vector<uint32_t> order;
    std::u16string error;
    EXPECT_TRUE(
        SortTableView(table.data, table.Columns(), keys, viewRows, memory, nullptr, order, error))
        << std::string(error.begin(), error.end());
    return order;
}

TEST(ViewSortTest, OrdersEveryColumnClass) {
    struct Case {
        const char* what;
        std::vector<SortKey> keys;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        // Numbers, NaN above every number, then text that is no number by code units, then
        // NULL; " 10 " converts like 10 and ties with it, keeping table order.
        {"number asc", {{1, false}}, {7, 3, 0, 6, 8, 2, 1, 9, 4, 5}},
        {"number desc", {{1, true}}, {5, 4, 9, 1, 2, 8, 0, 6, 3, 7}},
        // false before true; "maybe" is no boolean and comes after them.
        {"boolean asc", {{2, false}}, {1, 4, 7, 0, 3, 5, 6, 8, 2, 9}},
        {"boolean desc", {{2, true}}, {2, 9, 8, 0, 3, 5, 6, 1, 4, 7}},
        // UTF-16 code units: capitals before small letters, kana after ASCII.
        {"text asc", {{3, false}}, {6, 1, 3, 9, 0, 5, 8, 2, 7, 4}},
        {"text desc", {{3, true}}, {4, 7, 2, 0, 5, 8, 3, 9, 1, 6}},
        {"text then id desc", {{3, false}, {0, true}}, {6, 1, 9, 3, 8, 5, 0, 2, 7, 4}},
        {"boolean desc then text", {{2, true}, {3, false}}, {9, 2, 8, 6, 3, 0, 5, 1, 7, 4}},
    };
    LoadedTable table;
    for (const Case& c : cases) {
        EXPECT_EQ(Sort(table, c.keys), c.expected) << c.what;
    }
}

TEST(ViewSortTest, SortsOnlyTheRowsOnView) {
    LoadedTable table;
    const std::vector<size_t> view = {1, 3, 5, 8};
    // Positions into the view: rows -5 (3), 1e2 (8), NaN (1), NULL (5).
    EXPECT_EQ(Sort(table, {{1, false}}, &view), (std::vector<uint32_t>{1, 3, 0, 2}));
}

// Enough rows for both workers and, with a small budget, many runs on disk.
std::string ManyRows(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += std::to_string(i) + "\t" + std::to_string((i * 7919) % 1000) + "\t" +
                (i % 3 ? "t" : "f") + "\tname" + std::to_string((i * 31) % 97) + "\n";
    }
    return text;
}

struct BigTable {
    MemoryDump dump{ManyRows(30000), 65001, 4};
    CTableData data;
    BigTable() {
        dump.GetTables()[0].columns[1].type = u"int";
        dump.GetTables()[0].columns[2].type = u"bool";
        std::u16string error;
        EXPECT_TRUE(data.Load(dump, dump.Table(), nullptr, error));
    }
};

TEST(ViewSortTest, RunsOnDiskGiveTheInMemoryOrder) {
    BigTable table;
    const std::vector<std::vector<SortKey>> keyLists = {
        {{1, false}}, {{3, true}}, {{2, false}, {1, true}}};
    for (const auto& keys : keyLists) {
        std::vector<uint32_t> inMemory;
        std::vector<uint32_t> onDisk;
        std::u16string error;
        ASSERT_TRUE(SortTableView(table.data, table.dump.Table().columns, keys, nullptr,
                                  size_t{256} << 20, nullptr, inMemory, error));
        ThreadedTestJob job;
        ASSERT_TRUE(SortTableView(table.data, table.dump.Table().columns, keys, nullptr, 4096, &job,
                                  onDisk, error));
        EXPECT_EQ(onDisk, inMemory);
        ASSERT_EQ(inMemory.size(), 30000u);
        // Stable: equal keys keep table order.
        if (keys.size() == 1 && keys[0].column == 1) {
            for (size_t i = 1; i < inMemory.size(); ++i) {
                const uint32_t a = inMemory[i - 1];
                const uint32_t b = inMemory[i];
                EXPECT_LE((a * 7919) % 1000, (b * 7919) % 1000);
                if ((a * 7919) % 1000 == (b * 7919) % 1000) {
                    EXPECT_LT(a, b);
                }
            }
        }
        ASSERT_FALSE(job.progress.empty());
        EXPECT_EQ(job.progress.back(), 100);
        EXPECT_TRUE(TempFilesOfThisProcess().size() <= 1u);  // only the table's spool file
    }
}

TEST(ViewSortTest, CancelLeavesNoRunFile) {
    BigTable table;
    const auto before = TempFilesOfThisProcess();
    // The first polls fall in key extraction; later ones in the merge of many runs.
    for (int polls : {1, 5, 12}) {
        ThreadedTestJob job(polls);
        std::vector<uint32_t> order;
        std::u16string error;
        EXPECT_FALSE(SortTableView(table.data, table.dump.Table().columns, {{3, false}}, nullptr,
                                   2048, &job, order, error));
        EXPECT_EQ(error, kCancelledMessage) << polls;
        EXPECT_TRUE(order.empty());
        EXPECT_EQ(TempFilesOfThisProcess(), before) << polls;
    }
}

TEST(ViewSortTest, RefusesAColumnThatIsNotThere) {
    LoadedTable table;
    std::vector<uint32_t> order;
    std::u16string error;
    EXPECT_FALSE(SortTableView(table.data, table.Columns(), {{4, false}}, nullptr, 1 << 20, nullptr,
                               order, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
