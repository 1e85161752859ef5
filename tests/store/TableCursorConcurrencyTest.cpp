#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "app/CreateDumpReader.h"
#include "store/TableCursor.h"
#include "store/TableData.h"
#include "support/MemoryDump.h"
#include "support/TestPaths.h"

namespace {

using Rows = std::vector<RowCells>;

// Every row, read on this thread alone: the reference the concurrent readers must match.
Rows ReadAll(const CTableData& table) {
    CTableCursor cursor(table);
    Rows rows(table.GetRowCount());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_TRUE(cursor.GetRow(i, rows[i])) << i;
    return rows;
}

enum class Walk { Onward, Jumps, Backward };

// The row order one reader follows: in order, jumping about (with short onward runs, as the
// grid reads a page after a jump), or from the last row up.
std::vector<size_t> Order(size_t rowCount, Walk walk, unsigned seed) {
    std::vector<size_t> order;
    if (walk != Walk::Jumps) {
        for (size_t i = 0; i < rowCount; ++i) order.push_back(i);
        if (walk == Walk::Backward) std::reverse(order.begin(), order.end());
        return order;
    }
    std::mt19937 random(seed);
    while (order.size() < rowCount * 2) {
        const size_t start = random() % rowCount;
        const size_t run = random() % 4 == 0 ? random() % 50 : 1;
        for (size_t i = start; i < rowCount && i < start + run; ++i) order.push_back(i);
    }
    return order;
}

struct ReaderResult {
    size_t mismatches = 0;
    size_t failures = 0;
    size_t reads = 0;
};

// Runs readers threads at once on one table, each with its own cursor and its own walk.
std::vector<ReaderResult> ReadConcurrently(const CTableData& table, const Rows& expected,
                                           int readers) {
    std::vector<ReaderResult> results(static_cast<size_t>(readers));
    std::vector<std::thread> threads;
    for (int r = 0; r < readers; ++r) {
        threads.emplace_back([&table, &expected, &results, r]() {
            CTableCursor cursor(table);
            ReaderResult& result = results[static_cast<size_t>(r)];
            RowCells cells;
            for (size_t row : Order(table.GetRowCount(), static_cast<Walk>(r % 3), 100u + r)) {
                ++result.reads;
                if (!cursor.GetRow(row, cells)) {
                    ++result.failures;
                } else if (cells.size() != expected[row].size()) {
                    ++result.mismatches;
                } else {
                    for (size_t c = 0; c < cells.size(); ++c) {
                        if (cells[c].isNull != expected[row][c].isNull ||
                            cells[c].text != expected[row][c].text) {
                            ++result.mismatches;
                            break;
                        }
                    }
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    return results;
}

void ExpectAllEqual(const CTableData& table, const Rows& expected) {
    for (int readers : {2, 4}) {
        SCOPED_TRACE(readers);
        for (const ReaderResult& r : ReadConcurrently(table, expected, readers)) {
            EXPECT_GT(r.reads, 0u);
            EXPECT_EQ(r.failures, 0u);
            EXPECT_EQ(r.mismatches, 0u);
        }
    }
}

}  // namespace

TEST(TableCursorConcurrencyTest, FixtureTablesReadByTwoAndFourCursors) {
    std::u16string error;
    std::unique_ptr<IDumpFile> dump =
        CreateDumpReader(FixturePathW("dumps/kx_main.custom.dump"), error);
    ASSERT_TRUE(dump) << U8(error);
    for (const TableEntry& entry : dump->GetTables()) {
        if (entry.name != u"many_rows" && entry.name != u"escapes") continue;
        SCOPED_TRACE(U8(entry.name));
        CTableData table;
        ASSERT_TRUE(table.Load(*dump, entry, nullptr, error)) << U8(error);
        ASSERT_GT(table.GetRowCount(), 0u);
        ExpectAllEqual(table, ReadAll(table));
    }
}

TEST(TableCursorConcurrencyTest, WindowsRefilledOnEveryThreadAtOnce) {
    // Several megabytes with a row longer than any window: the readers refill their
    // windows (onward, after jumps, grown for the long row) all the time.
    std::string text;
    for (int i = 0; i < 8000; ++i) {
        text +=
            std::to_string(i) + "\t" + std::string(static_cast<size_t>(i % 13) * 40, 'a' + i % 26);
        text += i % 9 == 0 ? "\t\\N\n" : "\tx\\ty\n";
        if (i == 4000) text += std::to_string(i) + "\t" + std::string(3 << 19, 'L') + "\tz\n";
    }
    MemoryDump dump(text, 65001, 3);
    CTableData table;
    std::u16string error;
    ASSERT_TRUE(table.Load(dump, dump.Table(), nullptr, error)) << U8(error);
    ExpectAllEqual(table, ReadAll(table));
}
