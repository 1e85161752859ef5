// The main window's filter boxes and the commands around them, driven through the real
// widgets on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <thread>

#include "MainWindowDriver.h"
#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "app/AppText.h"
#include "app/WindowText.h"
#include "jobs/JobContext.h"
#include "settings/Settings.h"
#include "store/TableData.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"
#include "ui/ColumnSelectDlg.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"
#include "ui/QtText.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class MainWindowFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ini.Set(m_scratch.File("Kalvex.ini"));
        m_debug.Unset();
    }

    // A window showing one table of kx_main.custom.dump.
    std::unique_ptr<CKalvexDlg> ShowTable(const char16_t* name) {
        auto window = std::make_unique<CKalvexDlg>();
        window->show();
        QApplication::processEvents();
        window->OpenDumpFile(FixturePathW("dumps/kx_main.custom.dump"));
        const std::vector<TableEntry>& tables = window->GetSession().GetDump()->GetTables();
        for (size_t i = 0; i < tables.size(); ++i) {
            if (tables[i].QualifiedName() == name) window->SelectTable(static_cast<int>(i));
        }
        EXPECT_TRUE(window->GetSession().HasTable());
        EXPECT_EQ(window->CurrentTable()->QualifiedName(), name);
        EXPECT_EQ(m_prompt.Remaining(), 0u);
        return window;
    }

    QLineEdit* Edit(CKalvexDlg& w, int id) { return FindControl<QLineEdit>(w, id); }

    // Types a condition and a keyword and presses Enter in the box that has the focus.
    void Apply(CKalvexDlg& w, const char* where, const char* keyword, int enterIn) {
        Edit(w, MainId::WhereEdit)->setText(Q(where));
        Edit(w, MainId::KeywordEdit)->setText(Q(keyword));
        QWidget* box = FindControl<QWidget>(w, enterIn);
        FocusControl(box);
        PressKey(box, Qt::Key_Return);
    }

    QString Status(CKalvexDlg& w) { return ControlText(w, MainId::StatusText); }
    QString Page(CKalvexDlg& w) { return ControlText(w, MainId::PageText); }
    std::string PageButtons(CKalvexDlg& w) {
        std::string s;
        for (int id : {1013, 1014, 1015, 1016}) s += ControlEnabled(w, id) ? '1' : '0';
        return s;
    }

    ScratchDir m_scratch;
    ScopedEnv m_ini{"KALVEX_INIFILE_PATH"};
    ScopedEnv m_debug{"KALVEX_DEBUG"};
    CScriptedPrompt m_prompt;
};

}  // namespace

// public.many_rows holds n = 1 .. 1500 and label = "row " + n.
TEST_F(MainWindowFilterTest, WhereAndKeywordNarrowTheWholeTableEveryTime) {
    auto w = ShowTable(u"public.many_rows");
    struct Case {
        const char* where;
        const char* keyword;
        int enterIn;
        const char* status;
        const char* page;
        const char* firstNumber;
    };
    const Case cases[] = {
        {"n > 100 AND n % 2 = 0", "", MainId::WhereEdit, "700 件が一致(全 1,500 件)",
         "行 1 - 700 / 700 件  (全 1,500 件から絞り込み)", "102"},
        // Upper-case ASCII in the keyword matches lower-case text; a fresh filter starts
        // from the whole table, not from the 700 rows before.
        {"", "ROW 15", MainId::KeywordEdit, "12 件が一致(全 1,500 件)",
         "行 1 - 12 / 12 件  (全 1,500 件から絞り込み)", "15"},
        {"n < 155", "Row 15", MainId::WhereEdit, "6 件が一致(全 1,500 件)",
         "行 1 - 6 / 6 件  (全 1,500 件から絞り込み)", "15"},
        {"label ILIKE '%9' OR n BETWEEN 1 AND 1100", "", MainId::KeywordEdit,
         "1,140 件が一致(全 1,500 件)", "行 1 - 1,000 / 1,140 件  (全 1,500 件から絞り込み)", "1"},
        // Dividing by zero on row 7, which the keyword has already excluded, is no error.
        {"100 / (n - 7) <> 0", "row 15", MainId::WhereEdit, "12 件が一致(全 1,500 件)",
         "行 1 - 12 / 12 件  (全 1,500 件から絞り込み)", "15"},
        // A keyword of one space is a keyword: every label has one.
        {"", " ", MainId::KeywordEdit, "1,500 件が一致(全 1,500 件)",
         "行 1 - 1,000 / 1,500 件  (全 1,500 件から絞り込み)", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.where) + " / " + c.keyword);
        Apply(*w, c.where, c.keyword, c.enterIn);
        EXPECT_TRUE(w->GetSession().IsFiltered());
        EXPECT_EQ(Status(*w), Q("public.many_rows: ") + Q(c.status));
        EXPECT_EQ(Page(*w), Q(c.page));
        EXPECT_EQ(w->GetPageStart(), 0u);
        // "#" is the row's number in the whole table.
        EXPECT_EQ(GridCell(*w, 0, 0), Q(c.firstNumber));
        EXPECT_EQ(GridCell(*w, 0, 2), Q("row ") + Q(c.firstNumber).remove(u','));
    }

    // Nothing matches: the page text says so and no page button is usable.
    Apply(*w, "n > 5000", "", MainId::WhereEdit);
    EXPECT_EQ(Status(*w), Q("public.many_rows: 0 件が一致(全 1,500 件)"));
    EXPECT_EQ(Page(*w), Q("一致する行はありません"));
    EXPECT_EQ(GridRows(*w), 0);
    EXPECT_EQ(PageButtons(*w), "0000");
    // The row commands stay enabled with rows loaded.
    for (int id : {1005, 1006, 1007, 1008, 1009, 1011, 1017}) {
        EXPECT_TRUE(ControlEnabled(*w, id)) << id;
    }
    EXPECT_TRUE(w->GetAction(32779)->isEnabled());

    // Only blanks in the WHERE box and no keyword: all rows again, the boxes keep their text.
    Apply(*w, " \t\n ", "", MainId::WhereEdit);
    EXPECT_FALSE(w->GetSession().IsFiltered());
    EXPECT_EQ(Status(*w), Q("public.many_rows: 絞り込みを解除しました(1,500 行)"));
    EXPECT_EQ(Page(*w), Q("行 1 - 1,000 / 1,500 件"));
    EXPECT_EQ(ControlText(*w, MainId::WhereEdit), Q(" \t\n "));
}

TEST_F(MainWindowFilterTest, ClearingEmptiesTheBoxesAndShowsEveryRowFromTheFirstPage) {
    auto w = ShowTable(u"public.many_rows");
    const QString loaded = Status(*w);
    // Clearing without a filter returns to the first page and leaves the status alone.
    w->RunCommand(32782);
    ASSERT_EQ(w->GetPageStart(), 1000u);
    w->RunCommand(32779);
    EXPECT_EQ(w->GetPageStart(), 0u);
    EXPECT_EQ(Status(*w), loaded);

    Apply(*w, "n > 100", "row", MainId::WhereEdit);
    w->RunCommand(32782);
    EXPECT_EQ(Page(*w), Q("行 1,001 - 1,400 / 1,400 件  (全 1,500 件から絞り込み)"));
    FindControl<QPushButton>(*w, MainId::ClearButton)->click();
    EXPECT_FALSE(w->GetSession().IsFiltered());
    EXPECT_EQ(ControlText(*w, MainId::WhereEdit), QString());
    EXPECT_EQ(ControlText(*w, MainId::KeywordEdit), QString());
    EXPECT_EQ(Status(*w), Q("public.many_rows: 絞り込みを解除しました(1,500 行)"));
    EXPECT_EQ(Page(*w), Q("行 1 - 1,000 / 1,500 件"));
    EXPECT_EQ(GridCell(*w, 0, 0), Q("1"));
    EXPECT_EQ(PageButtons(*w), "0011");

    // Loading another table drops the filter too.
    Apply(*w, "n = 3", "", MainId::WhereEdit);
    ASSERT_TRUE(w->GetSession().IsFiltered());
    const std::vector<TableEntry>& tables = w->GetSession().GetDump()->GetTables();
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].QualifiedName() == u"public.simple") w->SelectTable(static_cast<int>(i));
    }
    EXPECT_FALSE(w->GetSession().IsFiltered());
    EXPECT_EQ(Page(*w), Q("行 1 - 10 / 10 件"));
}

TEST_F(MainWindowFilterTest, AnInvalidConditionKeepsTheEarlierFilterAndFocusesTheWhereBox) {
    auto w = ShowTable(u"public.many_rows");
    Apply(*w, "n > 100", "", MainId::WhereEdit);
    w->RunCommand(32782);
    const QString status = Status(*w), page = Page(*w), first = GridCell(*w, 0, 0);
    ASSERT_EQ(first, Q("1,101"));

    struct Case {
        const char* where;
        const char* reason;
    };
    const Case cases[] = {
        {"nosuch = 1", "カラム nosuch はテーブルに存在しません"},
        {"n >", nullptr},
        {"n @ 1", "条件式に不正な文字があります: @"},
        {"n = 1 n", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        m_prompt.ExpectMessage(std::nullopt, PromptIcon::Warning);
        // Enter in the keyword box applies too; the focus still goes to the WHERE box.
        Apply(*w, c.where, "row", MainId::KeywordEdit);
        ASSERT_EQ(m_prompt.Remaining(), 0u);
        const QString shown = m_prompt.History().back().text;
        EXPECT_TRUE(shown.startsWith(Q("WHERE 条件式が不正です。\n"))) << shown.toStdString();
        EXPECT_GT(shown.size(), Q("WHERE 条件式が不正です。\n").size());
        if (c.reason != nullptr) {
            EXPECT_EQ(shown, Q("WHERE 条件式が不正です。\n") + Q(c.reason));
        }
        EXPECT_EQ(w->focusWidget(), FindControl<QWidget>(*w, MainId::WhereEdit));
        EXPECT_TRUE(w->GetSession().IsFiltered());
        EXPECT_EQ(w->GetSession().GetMatches().size(), 1400u);
        EXPECT_EQ(w->GetPageStart(), 1000u);
        EXPECT_EQ(Status(*w), status);
        EXPECT_EQ(Page(*w), page);
        EXPECT_EQ(GridCell(*w, 0, 0), first);
    }

    // A condition that fails on a row: the evaluation message, and the view from before.
    m_prompt.ExpectMessage(Q("WHERE 条件式の評価に失敗しました。\n0 で除算しました"),
                           PromptIcon::Warning);
    Apply(*w, "100 / (n - 7) <> 0", "", MainId::WhereEdit);
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    EXPECT_EQ(w->GetSession().GetMatches().size(), 1400u);
    EXPECT_EQ(Status(*w), status);
    EXPECT_EQ(Page(*w), page);
    EXPECT_EQ(GridRows(*w), 400);
    EXPECT_EQ(GridCell(*w, 0, 0), first);
}

// public.simple has a column "note" (position 5) and a last column "status" with texts such as
// "NOT NULL"; row 3 holds NULL in both.
TEST_F(MainWindowFilterTest, TheKeywordLooksAtHiddenColumnsButNeverAtNull) {
    auto w = ShowTable(u"public.simple");
    const TableEntry& table = *w->CurrentTable();
    ASSERT_GE(table.columns.size(), 7u);
    ASSERT_EQ(table.columns[5].name, u"note");
    // Hide "note" with the column chooser.
    WhenModalShown<CColumnSelectDlg>([](CColumnSelectDlg* dialog) {
        auto* list = FindControl<QTreeWidget>(*dialog, 1100);
        list->topLevelItem(5)->setCheckState(0, Qt::Unchecked);
        FindControl<QPushButton>(*dialog, 1)->click();
    });
    FindControl<QPushButton>(*w, MainId::ColumnsButton)->click();
    ASSERT_EQ(w->GetVisibleColumns().size(), table.columns.size() - 1);
    for (int k = 1; k < GridColumns(*w); ++k) EXPECT_NE(GridHeader(*w, k), Q("note"));

    // "purple" is only in the hidden note of row 5.
    Apply(*w, "", "PURPLE", MainId::KeywordEdit);
    EXPECT_EQ(Status(*w), Q("public.simple: 1 件が一致(全 10 件)"));
    EXPECT_EQ(GridCell(*w, 0, 0), Q("5"));
    // "null" is in texts of rows 1, 4, 5, 7 and 9; the NULL cells of rows 3 and 8 that the
    // grid shows as (NULL) do not count.
    Apply(*w, "", "null", MainId::KeywordEdit);
    ASSERT_EQ(GridRows(*w), 5);
    const char* numbers[] = {"1", "4", "5", "7", "9"};
    for (int r = 0; r < 5; ++r) EXPECT_EQ(GridCell(*w, r, 0), Q(numbers[r])) << r;

    // Choosing the columns again keeps the filter, its status and the page.
    const QString status = Status(*w);
    WhenModalShown<CColumnSelectDlg>([](CColumnSelectDlg* dialog) {
        FindControl<QPushButton>(*dialog, 1101)->click();
        FindControl<QPushButton>(*dialog, 1)->click();
    });
    w->RunCommand(32778);
    EXPECT_EQ(w->GetVisibleColumns().size(), table.columns.size());
    EXPECT_TRUE(w->GetSession().IsFiltered());
    EXPECT_EQ(Status(*w), status);
    EXPECT_EQ(GridRows(*w), 5);
    EXPECT_EQ(GridCell(*w, 4, 0), Q("9"));
}

TEST_F(MainWindowFilterTest, CancellingAFilterBringsBackTheEarlierViewWithoutAMessage) {
    auto w = ShowTable(u"public.many_rows");
    Apply(*w, "n > 100", "", MainId::WhereEdit);
    w->RunCommand(32782);
    const QString status = Status(*w), page = Page(*w);
    ASSERT_EQ(GridRows(*w), 400);

    // The job holds until the user has confirmed the cancel; the filter loop must then
    // notice it on its first poll.
    w->SetJobHook([](IJobContext& job) {
        for (int i = 0; i < 2000 && !job.IsCancelled(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    m_prompt.ExpectYesNo(Q("処理を中止しますか？"), true);
    CancelNextProgress();
    Apply(*w, "n < 10", "", MainId::WhereEdit);
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    EXPECT_EQ(m_prompt.History().size(), 1u) << "no message after a cancel";
    EXPECT_EQ(w->GetSession().GetMatches().size(), 1400u);
    EXPECT_EQ(w->GetPageStart(), 1000u);
    EXPECT_EQ(Status(*w), status);
    EXPECT_EQ(Page(*w), page);
    EXPECT_EQ(GridRows(*w), 400);
    EXPECT_EQ(GridCell(*w, 0, 0), Q("1,101"));

    // Unfiltered before: the whole table comes back on its page.
    w->SetJobHook({});
    w->RunCommand(32779);
    w->RunCommand(32782);
    w->SetJobHook([](IJobContext& job) {
        for (int i = 0; i < 2000 && !job.IsCancelled(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    m_prompt.ExpectYesNo(Q("処理を中止しますか？"), true);
    CancelNextProgress();
    Apply(*w, "", "row 9", MainId::KeywordEdit);
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    EXPECT_FALSE(w->GetSession().IsFiltered());
    EXPECT_EQ(Page(*w), Q("行 1,001 - 1,500 / 1,500 件"));
    EXPECT_EQ(GridCell(*w, 0, 0), Q("1,001"));
}

TEST_F(MainWindowFilterTest, CtrlLeftAndRightPageTheFilteredRowsInsideTheEditBoxes) {
    auto w = ShowTable(u"public.many_rows");
    Apply(*w, "n > 100", "", MainId::WhereEdit);
    QLineEdit* where = Edit(*w, MainId::WhereEdit);
    FocusControl(where);
    where->setCursorPosition(3);
    PressKey(where, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Page(*w), Q("行 1,001 - 1,400 / 1,400 件  (全 1,500 件から絞り込み)"));
    EXPECT_EQ(GridCell(*w, 0, 0), Q("1,101"));
    // The edit box never saw the key: its text and cursor stay.
    EXPECT_EQ(where->cursorPosition(), 3);
    EXPECT_EQ(where->text(), Q("n > 100"));
    EXPECT_EQ(w->focusWidget(), where);

    QLineEdit* keyword = Edit(*w, MainId::KeywordEdit);
    keyword->setText(Q("abc"));
    FocusControl(keyword);
    keyword->setCursorPosition(1);
    PressKey(keyword, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Page(*w), Q("行 1 - 1,000 / 1,400 件  (全 1,500 件から絞り込み)"));
    EXPECT_EQ(keyword->cursorPosition(), 1);
    PressKey(keyword, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(w->GetPageStart(), 1000u);
    PressKey(keyword, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(w->GetPageStart(), 0u);
    EXPECT_EQ(keyword->cursorPosition(), 1);
}

TEST_F(MainWindowFilterTest, EnterActsInEachOfItsFiveControlsAndEscapeClosesNothing) {
    auto w = ShowTable(u"public.many_rows");
    // WHERE box and keyword box: apply.
    Apply(*w, "n <= 600", "", MainId::WhereEdit);
    EXPECT_EQ(Status(*w), Q("public.many_rows: 600 件が一致(全 1,500 件)"));
    Apply(*w, "n <= 600", "row 5", MainId::KeywordEdit);
    EXPECT_EQ(Status(*w), Q("public.many_rows: 111 件が一致(全 1,500 件)"));
    Apply(*w, "n <= 600", "", MainId::KeywordEdit);

    // Page-size box: the new size at once.
    QLineEdit* size = Edit(*w, MainId::PageSizeEdit);
    FocusControl(size);
    size->setText(Q("250"));
    PressKey(size, Qt::Key_Return);
    EXPECT_EQ(Page(*w), Q("行 1 - 250 / 600 件  (全 1,500 件から絞り込み)"));
    EXPECT_EQ(GridRows(*w), 250);

    // Grid: the selected row in detail, numbered in the whole table.
    auto* grid = FindControl<QTableView>(*w, MainId::Grid);
    w->RunCommand(32782);
    grid->selectRow(2);
    FocusControl(grid);
    QString heading;
    HandleNextModal([&](QWidget* dialog) {
        if (auto* label = FindControl<QLabel>(*dialog, 1142)) heading = label->text();
    });
    PressKey(grid, Qt::Key_Return);
    EXPECT_EQ(heading, Q("public.many_rows  行 253"));

    // Name filter: the first table that matches is loaded and the list takes the focus.
    QLineEdit* names = Edit(*w, MainId::NameFilterEdit);
    FocusControl(names);
    names->setText(Q("simple"));
    PressKey(names, Qt::Key_Return);
    ASSERT_NE(w->CurrentTable(), nullptr);
    EXPECT_EQ(w->CurrentTable()->QualifiedName(), u"public.simple");
    EXPECT_EQ(w->focusWidget(), FindControl<QWidget>(*w, MainId::TableList));
    EXPECT_FALSE(w->GetSession().IsFiltered());

    // Escape anywhere, and Enter outside those five, leave the window open and the view as
    // it is.
    Apply(*w, "id > 5", "", MainId::WhereEdit);
    const QString status = Status(*w);
    for (int id : {MainId::WhereEdit, MainId::KeywordEdit, MainId::PageSizeEdit, MainId::Grid,
                   MainId::NameFilterEdit, MainId::TableList, MainId::PathEdit}) {
        QWidget* control = FindControl<QWidget>(*w, id);
        FocusControl(control);
        PressKey(control, Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible()) << id;
    }
    FocusControl(Edit(*w, MainId::PathEdit));
    PressKey(Edit(*w, MainId::PathEdit), Qt::Key_Return);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Status(*w), status);
    EXPECT_TRUE(w->GetSession().IsFiltered());
    EXPECT_EQ(m_prompt.Remaining(), 0u);
}

TEST_F(MainWindowFilterTest, SavingFailsWithAMessageWhileClosingStillEnds) {
    // A settings path below a plain file can never be written.
    const std::string blocker = m_scratch.Write("blocker", "x");
    m_ini.Set(blocker + "/Kalvex.ini");
    auto w = std::make_unique<CKalvexDlg>();
    w->show();
    QApplication::processEvents();
    m_prompt.ExpectMessage(
        Q("設定の保存に失敗しました(") + Q(blocker.c_str()) + Q("/Kalvex.ini)。"),
        PromptIcon::Warning);
    w->RunCommand(32776);
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    // Closing says nothing and closes anyway.
    w->RunCommand(32777);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(m_prompt.History().size(), 1u);
}
