// Selecting and copying grid rows, going to a row, and widening the table list, driven
// through the real widgets on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "MainWindowDriver.h"
#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "settings/Settings.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"
#include "ui/QtText.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class MainWindowRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ini.Set(m_scratch.File("Kalvex.ini"));
        m_debug.Unset();
    }

    std::unique_ptr<CKalvexDlg> MakeWindow() {
        auto window = std::make_unique<CKalvexDlg>();
        window->show();
        QApplication::processEvents();
        return window;
    }

    // A window showing one table of kx_main.custom.dump.
    std::unique_ptr<CKalvexDlg> ShowTable(const char16_t* name) {
        auto window = MakeWindow();
        window->OpenDumpFile(FixturePathW("dumps/kx_main.custom.dump"));
        const std::vector<TableEntry>& tables = window->GetSession().GetDump()->GetTables();
        for (size_t i = 0; i < tables.size(); ++i) {
            if (tables[i].QualifiedName() == name) window->SelectTable(static_cast<int>(i));
        }
        EXPECT_TRUE(window->GetSession().HasTable());
        EXPECT_EQ(m_prompt.Remaining(), 0u);
        return window;
    }

    static QTableView* Grid(CKalvexDlg& w) { return FindControl<QTableView>(w, MainId::Grid); }

    // Clicks a grid row in its first data column, with the given keys held.
    static void ClickRow(CKalvexDlg& w, int row, Qt::KeyboardModifiers modifiers) {
        QTableView* grid = Grid(w);
        const QRect cell = grid->visualRect(grid->model()->index(row, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, cell.center());
    }

    // The grid rows selected, as their "#" texts.
    static QStringList SelectedNumbers(CKalvexDlg& w) {
        QModelIndexList rows = Grid(w)->selectionModel()->selectedRows();
        std::sort(rows.begin(), rows.end());
        QStringList numbers;
        for (const QModelIndex& index : rows) numbers << GridCell(w, index.row(), 0);
        return numbers;
    }

    // Drags the splitter between the table list and the grid by dx pixels.
    static void DragSplitter(CKalvexDlg& w, int dx) {
        auto* splitter = w.findChild<QSplitter*>();
        ASSERT_NE(splitter, nullptr);
        QWidget* handle = splitter->handle(1);
        const QPoint start(handle->width() / 2, handle->height() / 2);
        const QPoint end = start + QPoint(dx, 0);
        auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, handle->mapToGlobal(at), Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        };
        send(QEvent::MouseButtonPress, start, Qt::LeftButton);
        send(QEvent::MouseMove, end, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, end, Qt::NoButton);
        QApplication::processEvents();
    }

    static int ListWidth(CKalvexDlg& w) { return w.findChild<QSplitter*>()->sizes().value(0); }

    QString Page(CKalvexDlg& w) { return ControlText(w, MainId::PageText); }

    ScratchDir m_scratch;
    ScopedEnv m_ini{"KALVEX_INIFILE_PATH"};
    ScopedEnv m_debug{"KALVEX_DEBUG"};
    CScriptedPrompt m_prompt;
};

}  // namespace

// public.many_rows holds n = 1 .. 1500 and label = "row " + n.
TEST_F(MainWindowRowsTest, ShiftAndCtrlSelectRowsAndCtrlCCopiesThem) {
    auto w = ShowTable(u"public.many_rows");
    QTableView* grid = Grid(*w);
    FocusControl(grid);
    ClickRow(*w, 1, Qt::NoModifier);
    struct Step {
        const char* what;
        int key;  // 0: a click on row
        int row;
        Qt::KeyboardModifiers modifiers;
        const char* selected;  // the "#" of the selected rows
    };
    const Step steps[] = {
        {"Shift+Down twice", Qt::Key_Down, 0, Qt::ShiftModifier, "2 3"},
        {"", Qt::Key_Down, 0, Qt::ShiftModifier, "2 3 4"},
        {"Ctrl+click adds a row", 0, 6, Qt::ControlModifier, "2 3 4 7"},
        {"Ctrl+Down moves without selecting", Qt::Key_Down, 0, Qt::ControlModifier, "2 3 4 7"},
        {"Ctrl+click takes a row away", 0, 2, Qt::ControlModifier, "2 4 7"},
        {"a plain click starts over", 0, 8, Qt::NoModifier, "9"},
        {"Shift+click selects a range", 0, 4, Qt::ShiftModifier, "5 6 7 8 9"},
        {"Shift+Down shrinks it from the top", Qt::Key_Down, 0, Qt::ShiftModifier, "6 7 8 9"},
    };
    for (const Step& step : steps) {
        if (step.key == 0) {
            ClickRow(*w, step.row, step.modifiers);
        } else {
            PressKey(grid, step.key, step.modifiers);
        }
        EXPECT_EQ(SelectedNumbers(*w).join(u' '), Q(step.selected)) << step.what;
    }

    // The row detail opens on the row the cursor is on, not the first selected.
    PressKey(grid, Qt::Key_Down, Qt::ControlModifier);
    PressKey(grid, Qt::Key_Down, Qt::ControlModifier);
    QString heading;
    HandleNextModal([&](QWidget* dialog) {
        if (auto* label = FindControl<QLabel>(*dialog, 1142)) heading = label->text();
    });
    PressKey(grid, Qt::Key_Return);
    EXPECT_EQ(heading, Q("public.many_rows  行 8"));

    FocusControl(grid);
    QApplication::clipboard()->clear();
    PressKey(grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              Q("n\tlabel\r\n6\trow 6\r\n7\trow 7\r\n8\trow 8\r\n9\trow 9\r\n"));

    // A column dragged to the front is copied first; a hidden column is not copied.
    grid->horizontalHeader()->moveSection(2, 1);
    w->RunCommand(CommandId::NextPage);
    grid->selectRow(0);
    PressKey(grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), Q("label\tn\r\nrow 1001\t1001\r\n"));

    // In an edit box Ctrl+C stays the box's own.
    auto* where = FindControl<QLineEdit>(*w, MainId::WhereEdit);
    where->setText(Q("n = 5"));
    where->selectAll();
    FocusControl(where);
    PressKey(where, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), Q("n = 5"));
}

TEST_F(MainWindowRowsTest, GoToRowShowsItsPageOrSaysItIsNotOnView) {
    auto w = ShowTable(u"public.many_rows");
    QAction* action = w->GetAction(CommandId::GoToRow);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->objectName(), Q("32789"));
    EXPECT_EQ(action->text(), Q("行へ移動(&G)...\tCtrl+G"));
    EXPECT_TRUE(action->isEnabled());
    FindControl<QLineEdit>(*w, MainId::PageSizeEdit)->setText(Q("100"));
    w->CommitPageSize();
    w->ShowPage();

    auto* where = FindControl<QLineEdit>(*w, MainId::WhereEdit);
    struct Case {
        const char* filter;  // typed into the WHERE box first; null: as it is
        const char* answer;  // null: cancelled
        const char* message;
        const char* page;
        const char* selected;  // "#" of the selected row
    };
    const Case cases[] = {
        {nullptr, "1,234", nullptr, "行 1,201 - 1,300 / 1,500 件", "1,234"},
        {nullptr, "1501", "行 1,501 は現在の表示にありません。", "行 1,201 - 1,300 / 1,500 件",
         "1,234"},
        {nullptr, nullptr, nullptr, "行 1,201 - 1,300 / 1,500 件", "1,234"},
        {"n % 7 = 0", "1400", nullptr, "行 101 - 200 / 214 件  (全 1,500 件から絞り込み)", "1,400"},
        {nullptr, "701", "行 701 は現在の表示にありません。",
         "行 101 - 200 / 214 件  (全 1,500 件から絞り込み)", "1,400"},
    };
    for (const Case& c : cases) {
        const std::string what = c.answer != nullptr ? c.answer : "(cancelled)";
        SCOPED_TRACE(what);
        if (c.filter != nullptr) {
            where->setText(Q(c.filter));
            FocusControl(where);
            PressKey(where, Qt::Key_Return);
        }
        m_prompt.ExpectText(Q("行番号(1 - 1,500)"), c.answer != nullptr
                                                        ? std::optional<QString>(Q(c.answer))
                                                        : std::nullopt);
        if (c.message != nullptr) m_prompt.ExpectMessage(Q(c.message), PromptIcon::Information);
        // Ctrl+G works from wherever the focus is, the WHERE box included.
        FocusControl(where);
        PressKey(where, Qt::Key_G, Qt::ControlModifier);
        EXPECT_EQ(m_prompt.Remaining(), 0u) << what;
        EXPECT_EQ(Page(*w), Q(c.page)) << what;
        const QModelIndexList rows = Grid(*w)->selectionModel()->selectedRows();
        ASSERT_EQ(rows.size(), 1) << what;
        EXPECT_EQ(GridCell(*w, rows.front().row(), 0), Q(c.selected)) << what;
    }

    // Without rows the command is grayed and its key does nothing.
    w->CloseDump();
    EXPECT_FALSE(action->isEnabled());
    PressKey(where, Qt::Key_G, Qt::ControlModifier);
}

TEST_F(MainWindowRowsTest, WidenedListShowsLongNamesAndItsWidthIsKept) {
    int narrow = 0;
    int widened = 0;
    {
        auto w = MakeWindow();
        w->OpenDumpFile(FixturePathW("dumps/kx_main.custom.dump"));
        auto* list = FindControl<QTreeWidget>(*w, MainId::TableList);
        auto* nameFilter = FindControl<QWidget>(*w, MainId::NameFilterEdit);
        const QFontMetrics fm(list->font());
        // How many names do not fit their column (a little room for the item's margins).
        auto cutNames = [&] {
            int cut = 0;
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                const int need = fm.horizontalAdvance(list->topLevelItem(i)->text(0)) + 12;
                if (need > list->columnWidth(0)) ++cut;
            }
            return cut;
        };
        narrow = ListWidth(*w);
        const int gridWidth = Grid(*w)->width();
        const int filterWidth = nameFilter->width();
        const int windowWidth = w->width();
        EXPECT_GT(cutNames(), 0) << "the sample has names too long for the narrow list";
        DragSplitter(*w, 220);
        widened = ListWidth(*w);
        EXPECT_EQ(widened, narrow + 220);
        EXPECT_EQ(cutNames(), 0);
        EXPECT_EQ(nameFilter->width(), filterWidth + 220);
        // The right-hand side gives the room; the window keeps its size.
        EXPECT_EQ(Grid(*w)->width(), gridWidth - 220);
        EXPECT_EQ(w->width(), windowWidth);
        w->close();
    }
    AppSettings saved;
    ASSERT_TRUE(LoadSettings(U16(m_scratch.File("Kalvex.ini")), saved));
    EXPECT_EQ(saved.listWidth, widened);
    {
        auto w = MakeWindow();
        EXPECT_EQ(ListWidth(*w), widened);
    }
}

// However far the list is dragged, at the smallest window the right-hand side keeps its
// controls apart and inside the window.
TEST_F(MainWindowRowsTest, RightHandSideStaysUsableAtTheSmallestWindow) {
    auto w = MakeWindow();
    w->resize(w->minimumSize());
    QApplication::processEvents();
    ASSERT_EQ(w->size(), QSize(760, 480));
    for (int dx : {0, 2000}) {
        DragSplitter(*w, dx);
        auto at = [&](int id) {
            QWidget* control = FindControl<QWidget>(*w, id);
            return QRect(control->mapTo(w.get(), QPoint(0, 0)), control->size());
        };
        EXPECT_GT(at(MainId::NameFilterEdit).width(), 0) << dx;
        EXPECT_LT(at(MainId::TableList).right(), at(MainId::Grid).left()) << dx;
        EXPECT_LT(at(MainId::WhereLabel).right(), at(MainId::WhereEdit).left()) << dx;
        EXPECT_LT(at(MainId::WhereEdit).right(), at(MainId::ApplyButton).left()) << dx;
        EXPECT_LT(at(MainId::KeywordEdit).right(), at(MainId::ColumnsButton).left()) << dx;
        EXPECT_LE(at(MainId::CsvButton).right(), w->width()) << dx;
        EXPECT_GT(at(MainId::Grid).width(), 200) << dx;
    }
}
