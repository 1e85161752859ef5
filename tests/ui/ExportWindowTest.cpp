// The main window's CSV export, DDL and About commands, on real dumps.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

#include "MainWindowDriver.h"
#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "app/AppText.h"
#include "filter/RowFilter.h"
#include "settings/Settings.h"
#include "support/CsvParse.h"
#include "support/Fixtures.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"
#include "ui/AboutDlg.h"
#include "ui/ColumnSelectDlg.h"
#include "ui/CsvExportDlg.h"
#include "ui/DdlDlg.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

using Cells = std::vector<std::optional<std::string>>;

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// What to choose in the CSV dialog; ids of the controls to click.
struct CsvChoice {
    const char* scope = nullptr;  // null: keep what the dialog proposes
    bool visibleOnly = false;
    const char* delimiter = "1150";
    const char* encoding = "1155";
    bool header = true;
    bool quoteAll = false;
    QString nullText;
};

class ExportWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ini.Set(m_scratch.File("Kalvex.ini"));
        m_debug.Unset();
    }

    std::unique_ptr<CKalvexDlg> OpenTable(const std::u16string& path, const std::u16string& name) {
        auto window = std::make_unique<CKalvexDlg>();
        window->show();
        QApplication::processEvents();
        window->OpenDumpFile(path);
        const std::vector<TableEntry>& tables = window->GetSession().GetDump()->GetTables();
        for (size_t i = 0; i < tables.size(); ++i) {
            if (tables[i].QualifiedName() == name) window->SelectTable(static_cast<int>(i));
        }
        EXPECT_TRUE(window->GetSession().HasTable());
        EXPECT_EQ(window->GetSession().GetTable()->QualifiedName(), name);
        return window;
    }

    // Runs the CSV command: makes the choice in the options dialog, then exports to path
    // and expects the message of rows rows written. Returns the dialog's summary line.
    QString Export(CKalvexDlg& window, const CsvChoice& c, const std::string& path, uint64_t rows) {
        QString info;
        WhenModalShown<CCsvExportDlg>([&](CCsvExportDlg* dlg) {
            info = Child<QLabel>(dlg, "1161")->text();
            if (c.scope != nullptr) Child<QRadioButton>(dlg, c.scope)->click();
            Child<QCheckBox>(dlg, "1162")->setChecked(c.visibleOnly);
            Child<QRadioButton>(dlg, c.delimiter)->click();
            Child<QRadioButton>(dlg, c.encoding)->click();
            Child<QCheckBox>(dlg, "1152")->setChecked(c.header);
            Child<QCheckBox>(dlg, "1153")->setChecked(c.quoteAll);
            Child<QLineEdit>(dlg, "1157")->setText(c.nullText);
            Child<QPushButton>(dlg, "1")->click();
        });
        m_prompt.ExpectSaveFile(Q(path)).ExpectMessage(u"CSV出力が終了しました("_s +
                                                           ToQString(FormatThousands(rows)) +
                                                           u" 行)。\n"_s + Q(path),
                                                       PromptIcon::Information);
        window.RunCommand(CommandId::Csv);
        EXPECT_EQ(m_prompt.Remaining(), 0u);
        return info;
    }

    ScratchDir m_scratch;
    ScopedEnv m_ini{"KALVEX_INIFILE_PATH"};
    ScopedEnv m_debug{"KALVEX_DEBUG"};
    CScriptedPrompt m_prompt;
};

// Reads an exported file back and compares it with the header and the rows it should hold;
// a NULL is expected as the NULL text.
void ExpectCsvFile(const std::string& path, const CsvChoice& c,
                   const std::vector<std::string>& header, const std::vector<Cells>& rows) {
    std::string text = ReadFileBytes(path);
    const bool bom = std::string(c.encoding) == "1155";
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0) == 0, bom);
    if (bom) text.erase(0, 3);
    std::vector<std::vector<std::string>> expected;
    if (c.header) expected.push_back(header);
    for (const Cells& row : rows) {
        std::vector<std::string> record;
        for (const std::optional<std::string>& cell : row) {
            record.push_back(cell ? *cell : c.nullText.toStdString());
        }
        expected.push_back(record);
    }
    std::vector<std::vector<std::string>> records;
    std::vector<std::vector<bool>> quoted;
    const char delimiter = std::string(c.delimiter) == "1151" ? '\t' : ',';
    ASSERT_TRUE(ParseCsv(text, delimiter, records, &quoted));
    EXPECT_EQ(records, expected);
    if (c.quoteAll) {
        for (const std::vector<bool>& line : quoted) {
            for (bool q : line) EXPECT_TRUE(q);
        }
    }
}

const ExpectedTable& Expected(const std::string& database, const std::string& name) {
    static std::map<std::string, std::vector<ExpectedTable>> loaded;
    std::vector<ExpectedTable>& tables = loaded[database];
    if (tables.empty()) tables = LoadExpectedTables(database);
    for (const ExpectedTable& t : tables) {
        if (t.QualifiedName() == name) return t;
    }
    throw std::runtime_error("no expected table " + name);
}

std::vector<Cells> Pick(const std::vector<Cells>& all, const std::vector<size_t>& rows,
                        const std::vector<size_t>& columns) {
    std::vector<Cells> out;
    for (size_t r : rows) {
        Cells row;
        for (size_t c : columns) row.push_back(all[r][c]);
        out.push_back(row);
    }
    return out;
}

std::vector<size_t> Range(size_t from, size_t to) {
    std::vector<size_t> out;
    for (size_t i = from; i < to; ++i) out.push_back(i);
    return out;
}

void SetPageSize(CKalvexDlg& window, const char* size) {
    auto* edit = FindControl<QLineEdit>(window, MainId::PageSizeEdit);
    FocusControl(edit);
    edit->setText(QString::fromLatin1(size));
    PressKey(edit, Qt::Key_Return);
}

}  // namespace

TEST_F(ExportWindowTest, EachScopeIsWrittenAndReadBack) {
    auto w = OpenTable(FixturePathW("dumps/kx_main.custom.dump"), u"public.many_rows");
    const std::vector<Cells> all = Expected("kx_main", "public.many_rows").Cells("kx_main");
    ASSERT_EQ(all.size(), 1500u);
    const std::vector<std::string> header{"n", "label"};
    SetPageSize(*w, "100");
    w->RunCommand(CommandId::NextPage);
    w->RunCommand(CommandId::NextPage);
    ASSERT_EQ(w->GetPageStart(), 200u);

    // Every row, the default format; the save dialog proposes the table's name.
    CsvChoice allRows;
    const std::string allPath = m_scratch.File("all.csv");
    EXPECT_EQ(Export(*w, allRows, allPath, 1500), u"public.many_rows  (1,500 行)"_s);
    const CScriptedPrompt::Seen& save = m_prompt.History()[m_prompt.History().size() - 2];
    EXPECT_EQ(save.text, u"Kalvex CSV出力"_s);
    EXPECT_EQ(save.request.fileName, u"public.many_rows.csv"_s);
    EXPECT_EQ(save.request.defaultSuffix, u"csv"_s);
    EXPECT_EQ(save.request.initialDir, ToQString(w->GetSettings().lastDir));
    EXPECT_FALSE(save.request.initialDir.isEmpty());
    EXPECT_EQ(save.request.filter,
              u"CSVファイル (*.csv)|*.csv|テキストファイル (*.txt)|*.txt|"
              u"すべてのファイル (*.*)|*.*||"_s);
    ExpectCsvFile(allPath, allRows, header, all);

    // The page on screen: rows 201 to 300.
    CsvChoice page{"1160", false, "1151", "1156", false, true, {}};
    const std::string pagePath = m_scratch.File("page.csv");
    Export(*w, page, pagePath, 100);
    ExpectCsvFile(pagePath, page, header, Pick(all, Range(200, 300), {0, 1}));

    // Until the filter commands are wired, the session is filtered the way they do it.
    auto& session = const_cast<CDumpSession&>(w->GetSession());
    std::unique_ptr<CRowFilter> filter;
    std::u16string error;
    ASSERT_TRUE(session.PrepareFilter(u"n % 100 = 0", u"", filter, error)) << U8(error);
    std::vector<size_t> matches;
    ASSERT_TRUE(session.RunFilter(*filter, nullptr, matches, error)) << U8(error);
    session.SetFilterResult(matches);
    w->ShowPage();
    ASSERT_EQ(w->GetPageStart(), 0u);

    // Hide the first column; the dialog then offers the visible ones and the matches.
    WhenModalShown<CColumnSelectDlg>([](CColumnSelectDlg* dlg) {
        Child<QTreeWidget>(dlg, "1100")->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        Child<QPushButton>(dlg, "1")->click();
    });
    w->RunCommand(CommandId::VisibleColumns);
    ASSERT_EQ(w->GetVisibleColumns(), (std::vector<int>{1}));
    std::vector<size_t> matchRows;
    for (size_t n = 100; n <= 1500; n += 100) matchRows.push_back(n - 1);

    CsvChoice filtered{nullptr, true, "1150", "1154", true, false, u"NULL"_s};
    const std::string filteredPath = m_scratch.File("filtered.csv");
    EXPECT_EQ(Export(*w, filtered, filteredPath, 15),
              u"public.many_rows  (1,500 行、絞り込み 15 行)"_s);
    ExpectCsvFile(filteredPath, filtered, {"label"}, Pick(all, matchRows, {1}));

    // The page of matches: the second page of ten holds the last five; all columns.
    SetPageSize(*w, "10");
    w->RunCommand(CommandId::NextPage);
    CsvChoice matchPage{"1160", false, "1150", "1155", true, false, {}};
    const std::string matchPagePath = m_scratch.File("match-page.csv");
    Export(*w, matchPage, matchPagePath, 5);
    ExpectCsvFile(matchPagePath, matchPage, header,
                  Pick(all, std::vector<size_t>(matchRows.begin() + 10, matchRows.end()), {0, 1}));

    // Every row is still every row of the table while filtered.
    CsvChoice everything{"1158", false, "1150", "1156", true, false, {}};
    const std::string everythingPath = m_scratch.File("everything.csv");
    Export(*w, everything, everythingPath, 1500);
    ExpectCsvFile(everythingPath, everything, header, all);

    // The grid and the filter are as they were.
    EXPECT_TRUE(w->GetSession().IsFiltered());
    EXPECT_EQ(w->GetPageStart(), 10u);
    EXPECT_EQ(GridCell(*w, 0, 1), u"row 1100"_s);
}

TEST_F(ExportWindowTest, NullsAndOptionsAreKeptInTheSettings) {
    auto w = OpenTable(FixturePathW("dumps/kx_main.custom.dump"), u"public.nulls_empty");
    const ExpectedTable& expected = Expected("kx_main", "public.nulls_empty");
    std::vector<std::string> header;
    for (const ExpectedColumn& column : expected.columns) header.push_back(column.name);
    const std::vector<Cells> all = expected.Cells("kx_main");
    ASSERT_FALSE(all.empty());

    CsvChoice choice{"1158", false, "1151", "1156", true, true, u"<NULL>"_s};
    const std::string path = m_scratch.File("nulls.tsv");
    Export(*w, choice, path, all.size());
    ExpectCsvFile(path, choice, header, all);
    const CsvOptions& csv = w->GetSettings().csv;
    EXPECT_EQ(csv.delimiter, u'\t');
    EXPECT_EQ(csv.encoding, u"UTF8");
    EXPECT_TRUE(csv.header);
    EXPECT_TRUE(csv.quoteAll);
    EXPECT_EQ(csv.nullText, u"<NULL>");

    // The next export starts from them.
    WhenModalShown<CCsvExportDlg>([](CCsvExportDlg* dlg) {
        EXPECT_TRUE(Child<QRadioButton>(dlg, "1151")->isChecked());
        EXPECT_TRUE(Child<QRadioButton>(dlg, "1156")->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(dlg, "1153")->isChecked());
        EXPECT_EQ(Child<QLineEdit>(dlg, "1157")->text(), u"<NULL>"_s);
        EXPECT_FALSE(Child<QRadioButton>(dlg, "1159")->isEnabled());
        EXPECT_FALSE(Child<QCheckBox>(dlg, "1162")->isEnabled());
        Child<QRadioButton>(dlg, "1150")->click();
        Child<QPushButton>(dlg, "2")->click();
    });
    w->RunCommand(CommandId::Csv);
    EXPECT_EQ(w->GetSettings().csv.delimiter, u'\t') << "cancel keeps the options";

    // A cancelled save dialog writes nothing but keeps the chosen options.
    WhenModalShown<CCsvExportDlg>([](CCsvExportDlg* dlg) {
        Child<QRadioButton>(dlg, "1154")->click();
        Child<QPushButton>(dlg, "1")->click();
    });
    m_prompt.ExpectSaveFile(QString());
    w->RunCommand(CommandId::Csv);
    EXPECT_EQ(w->GetSettings().csv.encoding, u"SJIS");

    // A file that cannot be created: the writer's message, with the warning icon.
    const std::string bad = m_scratch.File("no/such/folder/x.csv");
    WhenModalShown<CCsvExportDlg>(
        [](CCsvExportDlg* dlg) { Child<QPushButton>(dlg, "1")->click(); });
    m_prompt.ExpectSaveFile(Q(bad)).ExpectMessage(
        u"出力CSVファイルがオープンできませんでした("_s + Q(bad) + u")。"_s, PromptIcon::Warning);
    FindControl<QPushButton>(*w, MainId::CsvButton)->click();
    EXPECT_EQ(m_prompt.Remaining(), 0u);

    // Closing stores them in the settings file.
    w->close();
    AppSettings stored;
    ASSERT_TRUE(LoadSettings(U16(m_scratch.File("Kalvex.ini")), stored));
    EXPECT_EQ(stored.csv.delimiter, u'\t');
    EXPECT_EQ(stored.csv.encoding, u"SJIS");
    EXPECT_TRUE(stored.csv.quoteAll);
    EXPECT_EQ(stored.csv.nullText, u"<NULL>");
}

TEST_F(ExportWindowTest, WholeClusterDdlIsShownPerDatabase) {
    auto w = OpenTable(FixturePathW("dumps/cluster.dumpall.sql"), u"public.notes");
    auto* combo = FindControl<QComboBox>(*w, MainId::DatabaseCombo);
    const std::vector<std::string> databases{"kx_eucjp", "kx_latin1", "kx_main"};
    for (const std::string& database : databases) {
        SCOPED_TRACE(database);
        const int index = combo->findText(Q(database));
        ASSERT_GE(index, 0);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        ASSERT_NE(w->CurrentTable(), nullptr);
        const std::u16string table = w->CurrentTable()->QualifiedName();
        bool shown = false;
        HandleNextModal([&](QWidget* dialog) {
            auto* ddl = qobject_cast<CDdlDlg*>(dialog);
            ASSERT_NE(ddl, nullptr);
            shown = true;
            EXPECT_EQ(ddl->windowTitle(), u"Kalvex DDL - "_s + ToQString(table));
            EXPECT_TRUE(Child<QRadioButton>(ddl, "1111")->isChecked());
            EXPECT_EQ(U8(ddl->ShownText()).rfind("CREATE TABLE ", 0), 0u);
            Child<QRadioButton>(ddl, "1112")->click();
            const std::string text = U8(ddl->ShownText());
            // The database's own CREATE DATABASE comes first, and no other database's.
            EXPECT_EQ(text.rfind("CREATE DATABASE " + database + " WITH", 0), 0u);
            EXPECT_NE(text.find("ALTER DATABASE " + database + " OWNER TO postgres;\r\n\r\n"),
                      std::string::npos);
            for (const std::string& other : databases) {
                if (other != database) {
                    EXPECT_EQ(text.find("DATABASE " + other), std::string::npos) << other;
                }
            }
            EXPECT_EQ(text.find("CREATE ROLE"), std::string::npos);
        });
        FindControl<QPushButton>(*w, MainId::DdlButton)->click();
        EXPECT_TRUE(shown);
    }
}

TEST_F(ExportWindowTest, GlobalObjectsAreTheDdlOfGlobal) {
    const std::string path = m_scratch.File("cluster.sql");
    {
        std::ofstream out(path, std::ios::binary);
        out << "SET client_encoding = 'UTF8';\n"
               "CREATE ROLE app;\n"
               "CREATE TABLE public.settings (k text);\n"
               "COPY public.settings (k) FROM stdin;\na\n\\.\n"
               "CREATE DATABASE shop;\n"
               "ALTER DATABASE shop OWNER TO app;\n"
               "\\connect shop\n"
               "SET client_encoding = 'UTF8';\n"
               "CREATE TABLE public.orders (\n    id integer\n);\n"
               "COPY public.orders (id) FROM stdin;\n1\n\\.\n";
    }
    auto w = OpenTable(U16(path), u"public.orders");
    auto* combo = FindControl<QComboBox>(*w, MainId::DatabaseCombo);
    struct Case {
        QString database;
        QString title;
        std::u16string tableDdl, dumpDdl;
    };
    const Case cases[] = {
        {u"shop"_s, u"Kalvex DDL - public.orders"_s,
         u"CREATE TABLE public.orders (\r\n    id integer\r\n);\r\n",
         u"CREATE DATABASE shop;\r\n\r\nALTER DATABASE shop OWNER TO app;\r\n\r\n"
         u"CREATE TABLE public.orders (\r\n    id integer\r\n);\r\n\r\n"},
        {u"(global)"_s, u"Kalvex DDL - public.settings"_s,
         u"CREATE TABLE public.settings (k text);\r\n",
         u"CREATE ROLE app;\r\n\r\nCREATE TABLE public.settings (k text);\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.database.toStdString());
        const int index = combo->findText(c.database);
        ASSERT_GE(index, 0);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        bool shown = false;
        HandleNextModal([&](QWidget* dialog) {
            auto* ddl = qobject_cast<CDdlDlg*>(dialog);
            ASSERT_NE(ddl, nullptr);
            shown = true;
            EXPECT_EQ(ddl->windowTitle(), c.title);
            EXPECT_EQ(ddl->ShownText(), c.tableDdl);
            Child<QRadioButton>(ddl, "1112")->click();
            EXPECT_EQ(ddl->ShownText(), c.dumpDdl);
        });
        w->RunCommand(CommandId::Ddl);
        EXPECT_TRUE(shown);
    }
}

TEST_F(ExportWindowTest, CsvAndDdlSavesRefuseTheOpenDump) {
    const std::string dump = m_scratch.File("main.dump");
    std::filesystem::copy_file(FixturePath("dumps/kx_main.custom.dump"), dump);
    const std::string link = m_scratch.File("main-link.csv");
    ASSERT_EQ(::symlink(dump.c_str(), link.c_str()), 0);
    const std::string before = ReadFileBytes(dump);
    auto w = OpenTable(U16(dump), u"public.simple");
    for (const std::string& target : {dump, link}) {
        SCOPED_TRACE(target);
        const QString refusal =
            u"出力先に読み込み中のダンプファイルは指定できません("_s + Q(target) + u")。"_s;
        WhenModalShown<CCsvExportDlg>(
            [](CCsvExportDlg* dlg) { Child<QPushButton>(dlg, "1")->click(); });
        m_prompt.ExpectSaveFile(Q(target)).ExpectMessage(refusal, PromptIcon::Warning);
        w->RunCommand(CommandId::Csv);
        EXPECT_EQ(m_prompt.Remaining(), 0u);

        HandleNextModal([&](QWidget* dialog) {
            auto* ddl = qobject_cast<CDdlDlg*>(dialog);
            ASSERT_NE(ddl, nullptr);
            m_prompt.ExpectSaveFile(Q(target)).ExpectMessage(refusal, PromptIcon::Warning);
            Child<QPushButton>(ddl, "1114")->click();
            EXPECT_EQ(m_prompt.Remaining(), 0u);
        });
        w->RunCommand(CommandId::Ddl);
        EXPECT_EQ(ReadFileBytes(dump), before);
    }
}

TEST_F(ExportWindowTest, HelpMenuOpensTheAboutBox) {
    auto w = std::make_unique<CKalvexDlg>();
    w->show();
    bool shown = false;
    HandleNextModal([&](QWidget* dialog) {
        ASSERT_NE(qobject_cast<CAboutDlg*>(dialog), nullptr);
        shown = true;
        EXPECT_EQ(Child<QLabel>(dialog, "1030")->text(), u"Kalvex Version 1.0.0"_s);
    });
    QAction* about = w->GetAction(CommandId::About);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isEnabled());
    about->trigger();
    EXPECT_TRUE(shown);
}

namespace {

void ClickHeader(CKalvexDlg& window, int section, Qt::KeyboardModifiers modifiers = {}) {
    QHeaderView* header = FindControl<QTableView>(window, MainId::Grid)->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
    QApplication::processEvents();
}

QString StatusOf(CKalvexDlg& window) {
    return ControlText(window, MainId::StatusText);
}

}  // namespace

// public.many_rows: n = 1 .. 1500, label = "row " + n; sections 1 and 2 of the header.
TEST_F(ExportWindowTest, HeaderClicksSortTheViewAndExportFollowsIt) {
    auto w = OpenTable(FixturePathW("dumps/kx_main.custom.dump"), u"public.many_rows");
    const std::vector<Cells> all = Expected("kx_main", "public.many_rows").Cells("kx_main");
    QHeaderView* header = FindControl<QTableView>(*w, MainId::Grid)->horizontalHeader();
    SetPageSize(*w, "100");

    // Label order is by code units: "row 1", "row 10", "row 100", "row 1000", "row 1001".
    std::vector<size_t> byLabel = Range(0, 1500);
    std::stable_sort(byLabel.begin(), byLabel.end(),
                     [&all](size_t a, size_t b) { return *all[a][1] < *all[b][1]; });
    struct Step {
        int section;
        bool shift;
        const char* status;
        const char* firstNumbers;  // "#" of the first three rows
        int indicator;             // -1: none
        Qt::SortOrder order;
    };
    const Step steps[] = {
        {2, false, "public.many_rows: label 昇順 で並べ替えました", "1 10 100", 2,
         Qt::AscendingOrder},
        {2, false, "public.many_rows: label 降順 で並べ替えました", "999 998 997", 2,
         Qt::DescendingOrder},
        {2, false, "public.many_rows: 並べ替えを解除しました", "1 2 3", -1, Qt::AscendingOrder},
        {1, false, "public.many_rows: n 昇順 で並べ替えました", "1 2 3", 1, Qt::AscendingOrder},
        {1, false, "public.many_rows: n 降順 で並べ替えました", "1,500 1,499 1,498", 1,
         Qt::DescendingOrder},
        {2, true, "public.many_rows: n 降順, label 昇順 で並べ替えました", "1,500 1,499 1,498", 1,
         Qt::DescendingOrder},
        // The section 0 is the row number: no sort.
        {0, false, "public.many_rows: n 降順, label 昇順 で並べ替えました", "1,500 1,499 1,498", 1,
         Qt::DescendingOrder},
        {1, true, "public.many_rows: label 昇順 で並べ替えました", "1 10 100", 2,
         Qt::AscendingOrder},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.status);
        ClickHeader(*w, s.section, s.shift ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(StatusOf(*w), QString::fromUtf8(s.status));
        EXPECT_EQ(GridCell(*w, 0, 0) + u' ' + GridCell(*w, 1, 0) + u' ' + GridCell(*w, 2, 0),
                  QString::fromUtf8(s.firstNumbers));
        EXPECT_EQ(header->isSortIndicatorShown(), s.indicator >= 0);
        if (s.indicator >= 0) {
            EXPECT_EQ(header->sortIndicatorSection(), s.indicator);
            EXPECT_EQ(header->sortIndicatorOrder(), s.order);
        }
    }

    // Paging and the page text work on the sorted view.
    w->RunCommand(CommandId::NextPage);
    EXPECT_EQ(GridCell(*w, 0, 0), ToQString(FormatThousands(byLabel[100] + 1)));
    EXPECT_TRUE(ControlText(*w, MainId::PageText).startsWith(u"行 101 - 200 / "_s));

    // Every row, in the order on screen; the dialog says so.
    const std::string allPath = m_scratch.File("sorted.csv");
    CsvChoice allRows;
    EXPECT_EQ(Export(*w, allRows, allPath, 1500), u"public.many_rows  (1,500 行) (並べ替え順)"_s);
    ExpectCsvFile(allPath, allRows, {"n", "label"}, Pick(all, byLabel, {0, 1}));

    // A new filter keeps the sort; every row of the filtered view is the whole table sorted.
    auto* where = FindControl<QLineEdit>(*w, MainId::WhereEdit);
    where->setText(u"n % 100 = 0"_s);
    FocusControl(where);
    PressKey(where, Qt::Key_Return);
    ASSERT_TRUE(w->GetSession().IsFiltered());
    ASSERT_TRUE(w->GetSession().IsSorted());
    std::vector<size_t> matches;
    for (size_t row : byLabel) {
        if ((row + 1) % 100 == 0) matches.push_back(row);
    }
    EXPECT_EQ(GridCell(*w, 0, 0), ToQString(FormatThousands(matches[0] + 1)));
    CsvChoice filtered;
    const std::string filteredPath = m_scratch.File("sorted-matches.csv");
    Export(*w, filtered, filteredPath, 15);
    ExpectCsvFile(filteredPath, filtered, {"n", "label"}, Pick(all, matches, {0, 1}));
    CsvChoice everything{"1158", false, "1150", "1155", true, false, {}};
    const std::string everythingPath = m_scratch.File("sorted-everything.csv");
    Export(*w, everything, everythingPath, 1500);
    ExpectCsvFile(everythingPath, everything, {"n", "label"}, Pick(all, byLabel, {0, 1}));

    // The menu item returns to table order; loading another table drops the sort.
    ClickHeader(*w, 1);
    w->RunCommand(CommandId::ClearSort);
    EXPECT_EQ(StatusOf(*w), u"public.many_rows: 並べ替えを解除しました"_s);
    EXPECT_FALSE(w->GetSession().IsSorted());
    EXPECT_EQ(GridCell(*w, 0, 0), u"100"_s);
    ClickHeader(*w, 2);
    ASSERT_TRUE(w->GetSession().IsSorted());
    w->SelectTable(0);
    EXPECT_FALSE(w->GetSession().IsSorted());
    EXPECT_FALSE(header->isSortIndicatorShown());
}
