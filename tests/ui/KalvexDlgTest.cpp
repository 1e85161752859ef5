#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "MainWindowDriver.h"
#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "app/AppText.h"
#include "app/CreateDumpReader.h"
#include "app/WindowText.h"
#include "settings/Settings.h"
#include "store/TableData.h"
#include "support/Fixtures.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"
#include "ui/QtText.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Each test gets its own settings file and no debug log unless it asks for one.
class MainWindowTest : public ::testing::Test {
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

    // Opens a fixture and expects no prompt on the way.
    void Open(CKalvexDlg& window, const std::string& fixture) {
        window.OpenDumpFile(FixturePathW("dumps/" + fixture));
        ASSERT_EQ(m_prompt.Remaining(), 0u);
    }

    ScratchDir m_scratch;
    ScopedEnv m_ini{"KALVEX_INIFILE_PATH"};
    ScopedEnv m_debug{"KALVEX_DEBUG"};
    CScriptedPrompt m_prompt;
};

// What a user sees of the window, to compare before and after something that must not
// change it.
struct WindowState {
    QString title, path, status, page, database;
    std::vector<QStringList> tables;
    int tableIndex = -1;
    size_t pageStart = 0;
    int gridRows = 0;
    QString firstCell;
    bool operator==(const WindowState&) const = default;
};

WindowState Snapshot(CKalvexDlg& w) {
    WindowState s;
    s.title = w.windowTitle();
    s.path = ControlText(w, MainId::PathEdit);
    s.status = ControlText(w, MainId::StatusText);
    s.page = ControlText(w, MainId::PageText);
    s.database = ControlText(w, MainId::DatabaseCombo);
    s.tables = ListRows(w, MainId::TableList);
    s.tableIndex = w.GetTableIndex();
    s.pageStart = w.GetPageStart();
    s.gridRows = GridRows(w);
    s.firstCell = GridRows(w) > 0 ? GridCell(w, 0, 1) : QString();
    return s;
}

}  // namespace

TEST_F(MainWindowTest, StartsEmptyWithTheWholeMenu) {
    auto w = MakeWindow();
    EXPECT_EQ(w->windowTitle(), Q("Kalvex"));
    EXPECT_EQ(ControlText(*w, MainId::StatusText),
              Q("ダンプファイルを開いてください(ファイルのドラッグ&ドロップも可)"));
    EXPECT_EQ(ControlText(*w, MainId::PageSizeEdit), Q("1000"));
    EXPECT_EQ(w->minimumSize(), QSize(760, 480));
    // Every control exists under its id.
    for (int id = 1000; id <= 1025; ++id) {
        EXPECT_NE(FindControl<QWidget>(*w, id), nullptr) << id;
    }
    struct Item {
        int id;
        const char* text;
        bool enabled;
    };
    const Item items[] = {
        {32771, "開く(&O)...\tCtrl+O", true},
        {32772, "閉じる(&C)", false},
        {32773, "CSV出力(&E)...\tCtrl+E", false},
        {32774, "DDL表示(&D)\tCtrl+D", false},
        {32775, "プロパティ(&R)\tCtrl+R", false},
        {32776, "設定保存(&S)", true},
        {32777, "終了(&X)", true},
        {32778, "表示列(&C)...", false},
        {32779, "絞り込み解除(&L)", false},
        {32784, "行の詳細(&R)", false},
        {32780, "先頭ページ(&F)\tCtrl+Home", false},
        {32781, "前ページ(&P)\tCtrl+Left", false},
        {32782, "次ページ(&N)\tCtrl+Right", false},
        {32783, "末尾ページ(&E)\tCtrl+End", false},
        {32785, "バージョン情報(&A)", true},
    };
    for (const Item& item : items) {
        QAction* action = w->findChild<QAction*>(QString::number(item.id));
        ASSERT_NE(action, nullptr) << item.id;
        EXPECT_EQ(action->text(), Q(item.text));
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.id;
    }
    for (int id : {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1013, 1014, 1015,
                   1016, 1017}) {
        EXPECT_FALSE(ControlEnabled(*w, id)) << id;
    }
    for (int id : {1000, 1001, 1012}) EXPECT_TRUE(ControlEnabled(*w, id)) << id;
}

TEST_F(MainWindowTest, OpeningADumpFillsTheWindowAndLoadsTheFirstTable) {
    auto w = MakeWindow();
    Open(*w, "kx_main.custom.dump");
    const std::u16string path = FixturePathW("dumps/kx_main.custom.dump");
    EXPECT_EQ(w->windowTitle(), Q("Kalvex - kx_main.custom.dump"));
    EXPECT_EQ(ControlText(*w, MainId::PathEdit), ToQString(path));
    auto* combo = FindControl<QComboBox>(*w, MainId::DatabaseCombo);
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), Q("kx_main"));

    // The list holds every table of the catalogue, with counts as the expected data says.
    const std::vector<ExpectedTable> expected = LoadExpectedTables("kx_main");
    const auto rows = ListRows(*w, MainId::TableList);
    ASSERT_EQ(rows.size(), w->GetSession().GetDump()->GetTables().size());
    int checked = 0;
    for (const QStringList& row : rows) {
        for (const ExpectedTable& table : expected) {
            if (Q(table.QualifiedName()) != row[0] || table.kind == "matview") continue;
            EXPECT_EQ(row[1], ToQString(FormatThousands(table.rows))) << table.QualifiedName();
            ++checked;
        }
    }
    EXPECT_GE(checked, 15);
    const auto simple = std::find_if(rows.begin(), rows.end(), [](const QStringList& r) {
        return r[0] == Q("public.many_rows");
    });
    ASSERT_NE(simple, rows.end());
    EXPECT_EQ((*simple)[1], Q("1,500"));
    EXPECT_EQ((*simple)[2], Q("2"));

    // The first table is loaded and its status replaces the dump summary.
    const TableEntry* first = w->CurrentTable();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(w->GetTableIndex(), 0);
    EXPECT_EQ(ToQString(first->QualifiedName()), rows[0][0]);
    ASSERT_TRUE(w->GetSession().HasTable());
    EXPECT_EQ(
        ControlText(*w, MainId::StatusText),
        ToQString(MakeTableLoadedStatus(*first, w->GetSession().GetTableData()->GetRowCount())));
    for (int id : {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1017}) {
        EXPECT_TRUE(ControlEnabled(*w, id)) << id;
    }
    EXPECT_TRUE(w->GetAction(32772)->isEnabled());
    EXPECT_TRUE(w->GetAction(32782)->isEnabled());
    EXPECT_EQ(w->GetSettings().lastDir, DirectoryOf(path));

    // Closing empties everything but the filter texts.
    FindControl<QLineEdit>(*w, MainId::WhereEdit)->setText(Q("id > 1"));
    w->RunCommand(32772);
    EXPECT_EQ(w->windowTitle(), Q("Kalvex"));
    EXPECT_EQ(ControlText(*w, MainId::PathEdit), QString());
    EXPECT_TRUE(ListRows(*w, MainId::TableList).empty());
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(GridColumns(*w), 0);
    EXPECT_EQ(ControlText(*w, MainId::WhereEdit), Q("id > 1"));
    EXPECT_EQ(ControlText(*w, MainId::StatusText), ToQString(kOpenDumpPrompt));
}

TEST_F(MainWindowTest, SummaryStaysForADumpWithoutTablesShownAndSchemaOnlyTables) {
    auto w = MakeWindow();
    // A whole cluster opens on its first database that has tables.
    Open(*w, "cluster.dumpall.sql");
    EXPECT_EQ(ControlText(*w, MainId::DatabaseCombo), Q("kx_eucjp"));
    EXPECT_TRUE(w->GetSession().HasTable());

    // Choosing a database without tables leaves the grid empty and the status as it was.
    auto* combo = FindControl<QComboBox>(*w, MainId::DatabaseCombo);
    const QString status = ControlText(*w, MainId::StatusText);
    const int postgres = combo->findText(Q("postgres"));
    ASSERT_GE(postgres, 0);
    combo->setCurrentIndex(postgres);
    emit combo->activated(postgres);
    EXPECT_TRUE(ListRows(*w, MainId::TableList).empty());
    EXPECT_EQ(GridColumns(*w), 0);
    EXPECT_EQ(ControlText(*w, MainId::StatusText), status);
    EXPECT_FALSE(ControlEnabled(*w, MainId::CsvButton));

    // A dump without tables says so and keeps its summary in the status line.
    const std::string none = m_scratch.Write(
        "none.sql", "--\n-- PostgreSQL database dump\n--\n\nSET client_encoding = 'UTF8';\n");
    m_prompt.ExpectMessage(Q("ダンプファイルにテーブルが含まれていません。"),
                           PromptIcon::Information);
    w->OpenDumpFile(U16(none));
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    EXPECT_EQ(w->windowTitle(), Q("Kalvex - none.sql"));
    EXPECT_TRUE(ListRows(*w, MainId::TableList).empty());
    EXPECT_EQ(ControlText(*w, MainId::StatusText),
              ToQString(MakeDumpSummary(w->GetSession().GetDump()->GetInfo(), 0)));
    EXPECT_TRUE(ControlText(*w, MainId::StatusText).startsWith(Q("Plain SQL  テーブル 0  ")));

    // A schema-only dump: columns without rows, row commands disabled.
    Open(*w, "kx_main.custom-schema.dump");
    ASSERT_NE(w->CurrentTable(), nullptr);
    EXPECT_FALSE(w->GetSession().HasTable());
    EXPECT_EQ(ControlText(*w, MainId::StatusText),
              ToQString(MakeSchemaOnlyStatus(*w->CurrentTable())));
    EXPECT_EQ(GridColumns(*w), static_cast<int>(w->CurrentTable()->columns.size()) + 1);
    EXPECT_EQ(GridRows(*w), 0);
    for (int id : {1005, 1006, 1007, 1008, 1009, 1011, 1017}) {
        EXPECT_FALSE(ControlEnabled(*w, id)) << id;
    }
    EXPECT_TRUE(ControlEnabled(*w, MainId::DdlButton));
}

TEST_F(MainWindowTest, AFileThatIsNoDumpChangesNothing) {
    auto w = MakeWindow();
    Open(*w, "kx_main.custom.dump");
    // Another table and another page, to see that they stay.
    auto* list = FindControl<QTreeWidget>(*w, MainId::TableList);
    QTreeWidgetItem* manyRows = nullptr;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == Q("public.many_rows"))
            manyRows = list->topLevelItem(i);
    }
    ASSERT_NE(manyRows, nullptr);
    list->setCurrentItem(manyRows);
    w->RunCommand(32782);
    ASSERT_EQ(w->GetPageStart(), 1000u);
    const WindowState before = Snapshot(*w);

    // A file of another kind: refused by detection.
    const std::string picture =
        m_scratch.Write("picture.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    m_prompt.ExpectMessage(
        Q("pg_dump / pg_dumpall で出力された PostgreSQL のダンプファイルではありません。"),
        PromptIcon::Warning);
    w->OpenDumpFile(U16(picture));
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    EXPECT_TRUE(Snapshot(*w) == before);
    const std::string empty = m_scratch.Write("empty.dump", "");
    m_prompt.ExpectMessage(Q("ファイルが空です。"), PromptIcon::Warning);
    w->OpenDumpFile(U16(empty));
    EXPECT_TRUE(Snapshot(*w) == before);
    // A damaged archive gets past detection and fails in its scan or open.
    std::string bytes = ReadFileBytes(FixturePath("dumps/kx_main.custom.dump"));
    bytes.resize(bytes.size() / 3);
    const std::string cut = m_scratch.Write("cut.dump", bytes);
    m_prompt.ExpectMessage(std::nullopt, PromptIcon::Warning);
    w->OpenDumpFile(U16(cut));
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    EXPECT_TRUE(Snapshot(*w) == before);
    EXPECT_EQ(w->GetSettings().lastDir, DirectoryOf(FixturePathW("dumps/kx_main.custom.dump")));
}

TEST_F(MainWindowTest, CancelledScanKeepsTheOpenDumpAndCancelledLoadShowsColumnsOnly) {
    auto w = MakeWindow();
    auto flags = std::make_shared<HoldFlags>();
    w->SetReaderFactory([flags](const std::u16string& path, std::u16string& error) {
        return HoldingReader(CreateDumpReader(path, error), flags);
    });
    Open(*w, "kx_main.custom.dump");
    const WindowState before = Snapshot(*w);
    ASSERT_TRUE(w->GetSession().HasTable());

    // The scan of another dump waits until it is cancelled: no message, nothing changes.
    flags->holdScan = true;
    m_prompt.ExpectYesNo(Q("処理を中止しますか？"), true);
    CancelNextProgress();
    w->OpenDumpFile(FixturePathW("dumps/kx_main.sql"));
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    EXPECT_TRUE(Snapshot(*w) == before);
    EXPECT_TRUE(w->GetSession().HasTable());
    flags->holdScan = false;

    // A cancelled load leaves the chosen table's columns and no rows.
    flags->holdLoad = true;
    m_prompt.ExpectYesNo(Q("処理を中止しますか？"), true);
    CancelNextProgress();
    w->SelectTable(1);
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    const TableEntry& table = w->GetSession().GetDump()->GetTables()[1];
    EXPECT_EQ(w->GetTableIndex(), 1);
    EXPECT_FALSE(w->GetSession().HasTable());
    EXPECT_EQ(ControlText(*w, MainId::StatusText), ToQString(MakeLoadStoppedStatus(table)));
    EXPECT_EQ(GridColumns(*w), static_cast<int>(table.columns.size()) + 1);
    EXPECT_EQ(GridRows(*w), 0);
    EXPECT_EQ(ControlText(*w, MainId::PageText), QString());
    EXPECT_FALSE(ControlEnabled(*w, MainId::NextButton));
    EXPECT_FALSE(w->GetAction(32782)->isEnabled());

    // Loading it again works once nothing holds it.
    flags->holdLoad = false;
    w->SelectTable(1);
    EXPECT_TRUE(w->GetSession().HasTable());
}

TEST_F(MainWindowTest, PagesThroughRowsAndFollowsThePageSize) {
    const std::string dump = WritePlainDump(m_scratch.File("big.sql"), 2500);
    auto w = MakeWindow();
    w->OpenDumpFile(U16(dump));
    ASSERT_EQ(m_prompt.Remaining(), 0u);
    ASSERT_TRUE(w->GetSession().HasTable());
    auto page = [&] { return ControlText(*w, MainId::PageText); };
    auto buttons = [&] {
        std::string s;
        for (int id : {1013, 1014, 1015, 1016}) s += ControlEnabled(*w, id) ? '1' : '0';
        return s;
    };
    EXPECT_EQ(page(), Q("行 1 - 1,000 / 2,500 件"));
    EXPECT_EQ(buttons(), "0011");
    EXPECT_EQ(GridRows(*w), 1000);
    // Painting the page decodes the rows in sight, not the whole page.
    CGridModel* model = w->GetGridModel();
    FindControl<QTableView>(*w, MainId::Grid)->viewport()->repaint();
    EXPECT_GT(model->GetCachedRowCount(), 0u);
    EXPECT_LT(model->GetCachedRowCount(), 100u);
    EXPECT_EQ(GridCell(*w, 0, 0), Q("1"));
    EXPECT_EQ(GridCell(*w, 999, 2), Q("row 1000"));
    EXPECT_EQ(GridHeader(*w, 1), Q("n"));
    // The integer column is right-aligned, the text one is not.
    EXPECT_TRUE(model->data(model->index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    EXPECT_TRUE(model->data(model->index(0, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);

    // Ctrl+Right pages even while the WHERE box has the focus.
    auto* where = FindControl<QLineEdit>(*w, MainId::WhereEdit);
    FocusControl(where);
    PressKey(where, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(page(), Q("行 1,001 - 2,000 / 2,500 件"));
    EXPECT_EQ(GridCell(*w, 0, 0), Q("1,001"));
    w->RunCommand(32783);
    EXPECT_EQ(page(), Q("行 2,001 - 2,500 / 2,500 件"));
    EXPECT_EQ(GridRows(*w), 500);
    EXPECT_EQ(GridCell(*w, 499, 2), Q("row 2500"));
    EXPECT_EQ(buttons(), "1100");
    w->RunCommand(32782);
    EXPECT_EQ(page(), Q("行 2,001 - 2,500 / 2,500 件")) << "next on the last page does nothing";

    // 300 a page: the top row stays on the page that holds it.
    auto* size = FindControl<QLineEdit>(*w, MainId::PageSizeEdit);
    FocusControl(size);
    size->setText(Q("300"));
    PressKey(size, Qt::Key_Return);
    EXPECT_EQ(page(), Q("行 1,801 - 2,100 / 2,500 件"));
    EXPECT_EQ(w->GetSettings().pageSize, 300);
    EXPECT_EQ(GridRows(*w), 300);
    PressKey(size, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(page(), Q("行 1 - 300 / 2,500 件"));
    w->RunCommand(32782);
    w->RunCommand(32781);
    EXPECT_EQ(page(), Q("行 1 - 300 / 2,500 件"));

    // Out-of-range sizes are corrected in the box, also when it loses the focus.
    struct Case {
        const char* typed;
        const char* shown;
    };
    for (const Case& c : {Case{"", "10"}, Case{"5", "10"}, Case{"250000", "100000"}}) {
        FocusControl(size);
        size->setText(Q(c.typed));
        FocusControl(where);
        EXPECT_EQ(size->text(), Q(c.shown)) << c.typed;
    }
    EXPECT_EQ(page(), Q("行 1 - 2,500 / 2,500 件"));
    EXPECT_EQ(GridRows(*w), 2500);
}

TEST_F(MainWindowTest, EnterAndEscapeNeverCloseAndEnterInTheNameFilterLoadsTheFirstMatch) {
    auto w = MakeWindow();
    Open(*w, "kx_main.custom.dump");
    for (int id :
         {MainId::TableList, MainId::PathEdit, MainId::NameFilterEdit, MainId::OpenButton}) {
        QWidget* control = FindControl<QWidget>(*w, id);
        FocusControl(control);
        PressKey(control, Qt::Key_Escape);
        if (id != MainId::NameFilterEdit && id != MainId::OpenButton)
            PressKey(control, Qt::Key_Return);
        EXPECT_TRUE(w->isVisible()) << id;
    }
    auto* filter = FindControl<QLineEdit>(*w, MainId::NameFilterEdit);
    FocusControl(filter);
    filter->setText(Q("MANY"));
    // Typing filters the list and leaves the loaded table alone.
    const int loaded = w->GetTableIndex();
    EXPECT_EQ(ListRows(*w, MainId::TableList).size(), 1u);
    EXPECT_EQ(w->GetTableIndex(), loaded);
    PressKey(filter, Qt::Key_Return);
    ASSERT_NE(w->CurrentTable(), nullptr);
    EXPECT_EQ(w->CurrentTable()->QualifiedName(), u"public.many_rows");
    EXPECT_EQ(w->focusWidget(), FindControl<QWidget>(*w, MainId::TableList));

    // Enter and a double-click in the grid open the row of the selection.
    auto* grid = FindControl<QTableView>(*w, MainId::Grid);
    w->RunCommand(32782);
    grid->selectRow(4);
    FocusControl(grid);
    QString heading;
    HandleNextModal([&](QWidget* dialog) {
        if (auto* label = FindControl<QLabel>(*dialog, 1142)) heading = label->text();
    });
    PressKey(grid, Qt::Key_Return);
    EXPECT_EQ(heading, Q("public.many_rows  行 1005"));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindowTest, ClosingStoresTheSettingsAndTheNextWindowRestoresThem) {
    const std::u16string ini = U16(m_scratch.File("Kalvex.ini"));
    {
        auto w = MakeWindow();
        Open(*w, "kx_main.custom.dump");
        FindControl<QLineEdit>(*w, MainId::PageSizeEdit)->setText(Q("250"));
        w->resize(900, 640);
        QApplication::processEvents();
        // Saving by command keeps the size of the window as it was stored before.
        m_prompt.ExpectMessage(Q("設定を保存しました。\n") + ToQString(ini),
                               PromptIcon::Information);
        w->RunCommand(32776);
        AppSettings saved;
        ASSERT_TRUE(LoadSettings(ini, saved));
        EXPECT_EQ(saved.pageSize, 250);
        EXPECT_EQ(saved.windowWidth, 0);
        w->RunCommand(32777);
        EXPECT_FALSE(w->isVisible());
        EXPECT_FALSE(w->GetSession().IsOpen());
    }
    AppSettings stored;
    ASSERT_TRUE(LoadSettings(ini, stored));
    EXPECT_EQ(stored.pageSize, 250);
    EXPECT_EQ(stored.windowWidth, 900);
    EXPECT_EQ(stored.windowHeight, 640);
    EXPECT_FALSE(stored.windowMaximized);
    EXPECT_EQ(stored.lastDir, DirectoryOf(FixturePathW("dumps/kx_main.custom.dump")));

    {
        auto again = MakeWindow();
        EXPECT_EQ(again->size(), QSize(900, 640));
        EXPECT_EQ(ControlText(*again, MainId::PageSizeEdit), Q("250"));
        // A maximised window stores its restored size.
        again->showMaximized();
        QApplication::processEvents();
        again->close();
    }
    ASSERT_TRUE(LoadSettings(ini, stored));
    EXPECT_TRUE(stored.windowMaximized);
    EXPECT_EQ(stored.windowWidth, 900);
    EXPECT_EQ(stored.windowHeight, 640);
    {
        auto maximized = MakeWindow();
        EXPECT_TRUE(maximized->isMaximized());
        maximized->close();
    }

    // A stored width below 600 leaves the template's size.
    stored.windowWidth = 500;
    stored.windowMaximized = false;
    ASSERT_TRUE(SaveSettings(ini, stored));
    auto small = MakeWindow();
    EXPECT_NE(small->width(), 500);
    EXPECT_GE(small->width(), 760);
}

TEST_F(MainWindowTest, ControlsFollowTheWindowEdges) {
    auto w = MakeWindow();
    w->resize(1000, 700);
    QApplication::processEvents();
    auto geometry = [&](int id) { return FindControl<QWidget>(*w, id)->geometry(); };
    const int ids[] = {1000, 1001, 1003, 1004, 1005, 1012, 1013, 1017, 1018, 1019, 1025};
    std::map<int, QRect> before;
    for (int id : ids) before[id] = geometry(id);
    w->resize(1200, 850);
    QApplication::processEvents();
    const int dx = 200, dy = 150;
    EXPECT_EQ(geometry(1000), before[1000].adjusted(0, 0, dx, 0));
    EXPECT_EQ(geometry(1001), before[1001].translated(dx, 0));
    EXPECT_EQ(geometry(1003), before[1003]);
    EXPECT_EQ(geometry(1004), before[1004].adjusted(0, 0, 0, dy));
    EXPECT_EQ(geometry(1005), before[1005].adjusted(0, 0, dx, 0));
    EXPECT_EQ(geometry(1012), before[1012].adjusted(0, 0, dx, dy));
    EXPECT_EQ(geometry(1013), before[1013].translated(0, dy));
    EXPECT_EQ(geometry(1017), before[1017].translated(0, dy));
    EXPECT_EQ(geometry(1018), before[1018].translated(0, dy).adjusted(0, 0, dx, 0));
    EXPECT_EQ(geometry(1019), before[1019].translated(0, dy).adjusted(0, 0, dx, 0));
    EXPECT_EQ(geometry(1025), before[1025]);
}

TEST_F(MainWindowTest, DroppedFilesOpenTheFirstOnly) {
    auto w = MakeWindow();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(ToQString(FixturePathW("dumps/kx_latin1.custom.dump"))),
                  QUrl::fromLocalFile(ToQString(FixturePathW("dumps/kx_main.custom.dump")))});
    // Over the status line, which has no drop handling of its own.
    const QPoint at = FindControl<QWidget>(*w, MainId::StatusText)->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &drop);
    EXPECT_EQ(w->windowTitle(), Q("Kalvex - kx_latin1.custom.dump"));
}

TEST_F(MainWindowTest, CommandLineFileOpensOnceTheWindowIsUp) {
    auto w = MakeWindow();
    w->SetInitialFile(FixturePathW("dumps/kx_latin1.sql"));
    EXPECT_EQ(w->windowTitle(), Q("Kalvex")) << "not inside the call";
    EXPECT_TRUE(PollUntil([&] { return w->GetSession().HasTable(); }));
    EXPECT_EQ(w->windowTitle(), Q("Kalvex - kx_latin1.sql"));

    // A path that names nothing usable gives its message after the window has appeared.
    auto other = MakeWindow();
    m_prompt.ExpectMessage(std::nullopt, PromptIcon::Warning);
    other->SetInitialFile(U16(m_scratch.File("missing.dump")));
    EXPECT_TRUE(PollUntil([&] { return m_prompt.Remaining() == 0; }));
    EXPECT_FALSE(other->GetSession().IsOpen());
}

TEST_F(MainWindowTest, DebugLogGetsAHeaderPerOpenedDump) {
    m_debug.Set("");
    auto w = MakeWindow();
    Open(*w, "kx_main.sql");
    Open(*w, "kx_latin1.custom.dump");
    const std::string log = ReadFileBytes(m_scratch.File("Kalvex.log"));
    const std::string first = "file=" + FixturePath("dumps/kx_main.sql") + "\r\n";
    const std::string second = "file=" + FixturePath("dumps/kx_latin1.custom.dump") + "\r\n";
    EXPECT_EQ(log.rfind("==== Kalvex 1.0.0 debug ", 0), 0u) << log.substr(0, 200);
    EXPECT_NE(log.find(first), std::string::npos);
    EXPECT_NE(log.find(second), std::string::npos);
    EXPECT_GT(log.find(second), log.find(first));
    // Without the variable nothing more is written.
    m_debug.Unset();
    const size_t length = log.size();
    Open(*w, "kx_main.custom.dump");
    EXPECT_EQ(ReadFileBytes(m_scratch.File("Kalvex.log")).size(), length);
}

// The first table of every kind of dump shows the rows the server reported.
TEST_F(MainWindowTest, EachKindOfDumpShowsItsFirstTable) {
    struct Case {
        const char* file;
        const char* database;
    };
    const Case cases[] = {
        {"kx_main.custom.dump", "kx_main"},  {"kx_main.dir/toc.dat", "kx_main"},
        {"kx_main.sql", "kx_main"},          {"kx_main.sql.gz", "kx_main"},
        {"cluster.dumpall.sql", "kx_eucjp"}, {"kx_eucjp.custom-sjis.dump", "kx_eucjp"},
        {"kx_eucjp.sjis.sql", "kx_eucjp"},   {"kx_latin1.sql", "kx_latin1"},
    };
    auto w = MakeWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Open(*w, c.file);
        const TableEntry* table = w->CurrentTable();
        ASSERT_NE(table, nullptr);
        ASSERT_TRUE(w->GetSession().HasTable());
        const std::string name = U8(table->QualifiedName());
        const ExpectedTable* expected = nullptr;
        const std::vector<ExpectedTable> tables = LoadExpectedTables(c.database);
        for (const ExpectedTable& t : tables) {
            if (t.QualifiedName() == name) expected = &t;
        }
        ASSERT_NE(expected, nullptr) << name;
        const auto cells = expected->Cells(c.database);
        ASSERT_EQ(static_cast<size_t>(GridRows(*w)), std::min<size_t>(cells.size(), 1000));
        ASSERT_GT(GridRows(*w), 0);
        for (size_t r = 0; r < static_cast<size_t>(GridRows(*w)); ++r) {
            EXPECT_EQ(GridCell(*w, static_cast<int>(r), 0), ToQString(FormatThousands(r + 1)));
            ASSERT_EQ(static_cast<size_t>(GridColumns(*w)), cells[r].size() + 1);
            for (size_t k = 0; k < cells[r].size(); ++k) {
                CellValue value;
                value.isNull = !cells[r][k].has_value();
                if (!value.isNull) value.text = U16(*cells[r][k]);
                EXPECT_EQ(GridCell(*w, static_cast<int>(r), static_cast<int>(k) + 1),
                          ToQString(FormatCellText(value)))
                    << "row " << r << " column " << k;
            }
        }
    }
}
