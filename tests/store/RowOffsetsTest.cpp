#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "store/RowOffsets.h"

// A spool file past 4 GiB: offsets on both sides of each mark, on a mark exactly, and a
// single row longer than 4 GiB that jumps over a mark without a row in between.
TEST(RowOffsetsTest, OffsetsPastFourGibibytesReadBackExactly) {
    constexpr uint64_t kMark = uint64_t{1} << 32;
    const std::vector<uint64_t> offsets = {
        0,         1,         kMark - 1,     kMark,         kMark + 7,         2 * kMark - 2,
        2 * kMark, 5 * kMark, 5 * kMark + 1, 5 * kMark + 1, 6 * kMark + 12345,
    };
    CRowOffsets rows;
    rows.Reserve(4);
    for (uint64_t offset : offsets) rows.Push(offset);
    ASSERT_EQ(rows.size(), offsets.size());
    for (size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(rows[i], offsets[i]) << i;

    rows.Release();
    EXPECT_EQ(rows.size(), 0u);
    rows.Push(3);
    EXPECT_EQ(rows[0], 3u);
}
