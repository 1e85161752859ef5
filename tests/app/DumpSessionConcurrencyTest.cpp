#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "app/DumpSession.h"
#include "filter/RowFilter.h"
#include "store/TableCursor.h"
#include "store/TableData.h"
#include "support/TestPaths.h"

// The window's situation: a filter job runs on its own thread while the owner's thread
// keeps painting rows of the same table from its own cursor.
TEST(DumpSessionConcurrencyTest, FilterJobBesideTheOwnersCursor) {
    std::u16string error;
    CDumpSession session;
    session.SetDump(
        CDumpSession::OpenDump(FixturePathW("dumps/kx_main.sql"), false, nullptr, error));
    ASSERT_TRUE(session.IsOpen()) << U8(error);
    const ptrdiff_t index = session.FindTable(u"many_rows", nullptr, error);
    ASSERT_GE(index, 0) << U8(error);
    ASSERT_TRUE(session.LoadTable(static_cast<size_t>(index), nullptr, error)) << U8(error);

    std::unique_ptr<CRowFilter> filter;
    ASSERT_TRUE(session.PrepareFilter(u"n % 3 = 0", u"1", filter, error)) << U8(error);
    std::vector<size_t> expected;
    ASSERT_TRUE(session.RunFilter(*filter, nullptr, expected, error)) << U8(error);
    ASSERT_FALSE(expected.empty());

    for (int round = 0; round < 3; ++round) {
        std::vector<size_t> matches;
        std::u16string jobError;
        bool ran = false;
        const CDumpSession& shared = session;
        std::thread job([&]() { ran = shared.RunFilter(*filter, nullptr, matches, jobError); });
        CTableCursor grid(*session.GetTableData());
        RowCells cells;
        size_t painted = 0;
        for (size_t pass = 0; pass < 4; ++pass) {
            for (size_t row = session.GetViewRowCount(); row-- > 0;) {
                if (grid.GetRow(session.GetViewRow(row), cells) && cells.size() == 2 &&
                    cells[0].text == U16(std::to_string(row + 1))) {
                    ++painted;
                }
            }
        }
        job.join();
        EXPECT_TRUE(ran) << U8(jobError);
        EXPECT_EQ(matches, expected);
        EXPECT_EQ(painted, 4 * session.GetViewRowCount());
    }
}
