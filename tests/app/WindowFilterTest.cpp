#include <gtest/gtest.h>

#include <memory>

#include "app/DumpSession.h"
#include "app/WindowFilter.h"
#include "store/TableData.h"
#include "support/TestPaths.h"

namespace {

// kx_main's public.many_rows (n integer, label text; n = 1 .. 1500), loaded.
class WindowFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::u16string error;
        auto dump = CDumpSession::OpenDump(FixturePathW("dumps/kx_main.custom.dump"), false,
                                           nullptr, error);
        ASSERT_TRUE(dump) << U8(error);
        m_session.SetDump(std::move(dump));
        const ptrdiff_t index = m_session.FindTable(u"public.many_rows", nullptr, error);
        ASSERT_GE(index, 0);
        ASSERT_TRUE(m_session.LoadTable(static_cast<size_t>(index), nullptr, error)) << U8(error);
    }

    CDumpSession m_session;
};

}  // namespace

TEST_F(WindowFilterTest, BlankInputClearsBadConditionsAreRefusedTheRestRuns) {
    struct Case {
        std::u16string where, keyword;
        FilterAction action;
        bool hasWhere;
        size_t matches;  // Run only
    };
    const Case cases[] = {
        {u"", u"", FilterAction::Clear, false, 0},
        {u" \t\r\n ", u"", FilterAction::Clear, false, 0},
        // The keyword is never trimmed: one space is a keyword (every label has one).
        {u" \n", u" ", FilterAction::Run, false, 1500},
        {u"", u"ROW 150", FilterAction::Run, false, 2},
        {u"n <= 10", u"", FilterAction::Run, true, 10},
        {u"\tn <= 10\r\n", u"row 1", FilterAction::Run, true, 2},
        {u"nosuch = 1", u"", FilterAction::Reject, false, 0},
        {u"n >", u"row", FilterAction::Reject, false, 0},
        {u"n = 1 n", u"", FilterAction::Reject, false, 0},
        {u"n @ 1", u"", FilterAction::Reject, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.where) + " / " + U8(c.keyword));
        FilterPlan plan = PlanFilter(m_session, c.where, c.keyword);
        ASSERT_EQ(plan.action, c.action);
        EXPECT_EQ(plan.filter != nullptr, c.action == FilterAction::Run);
        if (c.action == FilterAction::Reject) {
            EXPECT_EQ(plan.error.rfind(u"WHERE 条件式が不正です。\n", 0), 0u) << U8(plan.error);
            EXPECT_GT(plan.error.size(), std::u16string(u"WHERE 条件式が不正です。\n").size());
        }
        if (c.action != FilterAction::Run) continue;
        EXPECT_EQ(plan.filter->HasWhere(), c.hasWhere);
        std::vector<size_t> matches;
        std::u16string error;
        ASSERT_TRUE(m_session.RunFilter(*plan.filter, nullptr, matches, error)) << U8(error);
        EXPECT_EQ(matches.size(), c.matches);
    }
    EXPECT_EQ(PlanFilter(m_session, u"nosuch = 1", u"").error,
              u"WHERE 条件式が不正です。\nカラム nosuch はテーブルに存在しません");
}

TEST_F(WindowFilterTest, StatusTextsCountWithThousandsSeparators) {
    const TableEntry& table = *m_session.GetTable();
    EXPECT_EQ(MakeFilterStatus(table, 56789, 1234567),
              u"public.many_rows: 56,789 件が一致(全 1,234,567 件)");
    EXPECT_EQ(MakeFilterStatus(table, 0, 1500), u"public.many_rows: 0 件が一致(全 1,500 件)");
    EXPECT_EQ(MakeFilterClearedStatus(table, 1500),
              u"public.many_rows: 絞り込みを解除しました(1,500 行)");
}
