// One user's whole way through a dump, on real fixtures: open, pick a table, filter, page,
// look at a row, read the DDL, export the matches, close, and find the settings kept in
// the next window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTreeWidget>

#include "MainWindowDriver.h"
#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "settings/Settings.h"
#include "support/CsvParse.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"
#include "ui/CsvExportDlg.h"
#include "ui/DdlDlg.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

int TableIndex(CKalvexDlg& w, const std::u16string& name) {
    const std::vector<TableEntry>& tables = w.GetSession().GetDump()->GetTables();
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].QualifiedName() == name) return static_cast<int>(i);
    }
    return -1;
}

class DumpRoadTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_ini.Set(m_scratch.File("Kalvex.ini"));
        m_debug.Unset();
    }

    ScratchDir m_scratch;
    ScopedEnv m_ini{"KALVEX_INIFILE_PATH"};
    ScopedEnv m_debug{"KALVEX_DEBUG"};
    CScriptedPrompt m_prompt;
};

}  // namespace

// public.many_rows holds n = 1 .. 1500 and label = "row " + n.
TEST_P(DumpRoadTest, OpenFilterPageLookExportAndComeBack) {
    const std::string csvPath = m_scratch.File("matches.csv");
    {
        CKalvexDlg w;
        w.show();
        QApplication::processEvents();
        w.OpenDumpFile(FixturePathW(std::string("dumps/") + GetParam()));
        ASSERT_NE(w.GetSession().GetDump(), nullptr);
        ASSERT_TRUE(w.GetSession().HasTable());  // the first table is shown at once

        const int manyRows = TableIndex(w, u"public.many_rows");
        ASSERT_GE(manyRows, 0);
        w.SelectTable(manyRows);
        ASSERT_NE(w.CurrentTable(), nullptr);
        EXPECT_EQ(w.CurrentTable()->QualifiedName(), u"public.many_rows");

        // Pages of 100 rows, then a filter that leaves 450 of them.
        auto* pageSize = FindControl<QLineEdit>(w, MainId::PageSizeEdit);
        pageSize->setText(u"100"_s);
        FocusControl(pageSize);
        PressKey(pageSize, Qt::Key_Return);
        FindControl<QLineEdit>(w, MainId::WhereEdit)->setText(u"n % 10 IN (1, 3, 7)"_s);
        FindControl<QLineEdit>(w, MainId::KeywordEdit)->setText(u"ROW"_s);
        FindControl<QPushButton>(w, MainId::ApplyButton)->click();
        EXPECT_EQ(ControlText(w, MainId::StatusText),
                  u"public.many_rows: 450 件が一致(全 1,500 件)"_s);
        EXPECT_EQ(ControlText(w, MainId::PageText),
                  u"行 1 - 100 / 450 件  (全 1,500 件から絞り込み)"_s);
        EXPECT_EQ(GridCell(w, 0, 1), u"1"_s);

        // Ctrl+End from the WHERE box goes to the last page of the matches.
        auto* where = FindControl<QLineEdit>(w, MainId::WhereEdit);
        FocusControl(where);
        PressKey(where, Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(ControlText(w, MainId::PageText),
                  u"行 401 - 450 / 450 件  (全 1,500 件から絞り込み)"_s);
        EXPECT_EQ(GridRows(w), 50);
        EXPECT_EQ(where->text(), u"n % 10 IN (1, 3, 7)"_s);

        // The last row of the matches, 1497, in the row dialog.
        auto* grid = FindControl<QTableView>(w, MainId::Grid);
        grid->selectRow(49);
        FocusControl(grid);
        QString heading;
        QStringList values;
        HandleNextModal([&](QWidget* dialog) {
            heading = FindControl<QLabel>(*dialog, 1142)->text();
            auto* list = FindControl<QTreeWidget>(*dialog, 1140);
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                values << list->topLevelItem(i)->text(list->columnCount() - 1);
            }
        });
        PressKey(grid, Qt::Key_Return);
        EXPECT_EQ(heading, u"public.many_rows  行 1497"_s);
        EXPECT_EQ(values, (QStringList{u"1497"_s, u"row 1497"_s}));

        // The table's DDL, then the whole dump's.
        std::string tableDdl;
        std::string dumpDdl;
        HandleNextModal([&](QWidget* dialog) {
            auto* ddl = qobject_cast<CDdlDlg*>(dialog);
            ASSERT_NE(ddl, nullptr);
            tableDdl = U8(ddl->ShownText());
            Child<QRadioButton>(ddl, "1112")->click();
            dumpDdl = U8(ddl->ShownText());
        });
        w.RunCommand(CommandId::Ddl);
        EXPECT_EQ(tableDdl.rfind("CREATE TABLE public.many_rows (", 0), 0u) << tableDdl;
        EXPECT_NE(dumpDdl.find("CREATE TABLE public.many_rows ("), std::string::npos);
        EXPECT_NE(dumpDdl.find("CREATE TABLE public.simple ("), std::string::npos);

        // Export: the dialog proposes the filter's matches; tab-separated this time.
        WhenModalShown<CCsvExportDlg>([&](CCsvExportDlg* dlg) {
            Child<QRadioButton>(dlg, "1151")->click();
            Child<QPushButton>(dlg, "1")->click();
        });
        m_prompt.ExpectSaveFile(Q(csvPath))
            .ExpectMessage(u"CSV出力が終了しました(450 行)。\n"_s + Q(csvPath),
                           PromptIcon::Information);
        w.RunCommand(CommandId::Csv);
        EXPECT_EQ(m_prompt.Remaining(), 0u);
        std::string text = ReadFileBytes(csvPath);
        ASSERT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u);
        std::vector<std::vector<std::string>> records;
        ASSERT_TRUE(ParseCsv(text.substr(3), '\t', records));
        ASSERT_EQ(records.size(), 451u);
        EXPECT_EQ(records[0], (std::vector<std::string>{"n", "label"}));
        size_t row = 1;
        for (int n = 1; n <= 1500; ++n) {
            if (n % 10 != 1 && n % 10 != 3 && n % 10 != 7) continue;
            ASSERT_EQ(records[row],
                      (std::vector<std::string>{std::to_string(n), "row " + std::to_string(n)}));
            ++row;
        }
        w.close();
    }

    // The next window starts with the page size and the CSV choice of this one.
    AppSettings kept;
    ASSERT_TRUE(LoadSettings(U16(m_scratch.File("Kalvex.ini")), kept));
    EXPECT_EQ(kept.pageSize, 100);
    CKalvexDlg next;
    next.show();
    QApplication::processEvents();
    next.OpenDumpFile(FixturePathW(std::string("dumps/") + GetParam()));
    next.SelectTable(TableIndex(next, u"public.many_rows"));
    EXPECT_EQ(ControlText(next, MainId::PageText), u"行 1 - 100 / 1,500 件"_s);
    bool tabKept = false;
    HandleNextModal([&](QWidget* dialog) {
        auto* tab = dialog->findChild<QAbstractButton*>(u"1151"_s);
        tabKept = tab != nullptr && tab->isChecked();
    });
    next.RunCommand(CommandId::Csv);
    EXPECT_TRUE(tabKept);
    next.close();
    EXPECT_EQ(m_prompt.Remaining(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DumpRoadTest,
                         ::testing::Values("kx_main.custom.dump", "kx_main.dir/toc.dat",
                                           "kx_main.sql.gz", "kx_main.tar"));
