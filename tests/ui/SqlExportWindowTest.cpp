// The main window's SQL export, on a real dump.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "MainWindowDriver.h"
#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "app/AppText.h"
#include "filter/RowFilter.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"
#include "ui/QtText.h"
#include "ui/SqlExportDlg.h"

using namespace Qt::Literals::StringLiterals;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The lines between the script's COPY line and its "\."; none when it has no COPY.
std::vector<std::string> CopyRows(const std::string& script) {
    std::vector<std::string> rows;
    bool inside = false;
    for (const std::string& line : Lines(script)) {
        if (line.rfind("COPY ", 0) == 0) {
            inside = true;
        } else if (inside && line == "\\.") {
            inside = false;
        } else if (inside) {
            rows.push_back(line);
        }
    }
    return rows;
}

class SqlExportWindowTest : public ::testing::Test {
protected:
    void SetUp() override { m_ini.Set(m_scratch.File("Kalvex.ini")); }

    // Runs the command with the given choices; returns the dialog's summary line.
    QString Export(CKalvexDlg& window, const char* scope, const char* content,
                   const std::string& path, uint64_t rows) {
        QString info;
        WhenModalShown<CSqlExportDlg>([&](CSqlExportDlg* dlg) {
            EXPECT_EQ(dlg->windowTitle(), u"Kalvex SQL出力"_s);
            info = Child<QLabel>(dlg, "1161")->text();
            if (scope != nullptr) Child<QRadioButton>(dlg, scope)->click();
            Child<QRadioButton>(dlg, content)->click();
            Child<QPushButton>(dlg, "1")->click();
        });
        m_prompt.ExpectSaveFile(QString::fromStdString(path))
            .ExpectMessage(u"SQL出力が終了しました("_s + ToQString(FormatThousands(rows)) +
                               u" 行)。\n"_s + QString::fromStdString(path),
                           PromptIcon::Information);
        window.RunCommand(CommandId::SqlExport);
        EXPECT_EQ(m_prompt.Remaining(), 0u);
        return info;
    }

    ScratchDir m_scratch;
    ScopedEnv m_ini{"KALVEX_INIFILE_PATH"};
    CScriptedPrompt m_prompt;
};

}  // namespace

TEST_F(SqlExportWindowTest, ScopesAndContentsReachTheScript) {
    auto w = std::make_unique<CKalvexDlg>();
    w->show();
    QApplication::processEvents();
    QAction* action = w->GetAction(CommandId::SqlExport);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), u"SQL出力(&Q)..."_s);
    EXPECT_EQ(action->objectName(), u"32790"_s);
    EXPECT_FALSE(action->isEnabled());

    w->OpenDumpFile(FixturePathW("dumps/kx_main.custom.dump"));
    const std::vector<TableEntry>& tables = w->GetSession().GetDump()->GetTables();
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].QualifiedName() == u"public.many_rows") w->SelectTable(static_cast<int>(i));
    }
    ASSERT_TRUE(w->GetSession().HasTable());
    EXPECT_TRUE(action->isEnabled());
    const std::vector<std::string> all =
        Lines(ReadFileBytes(FixturePath("expected/kx_main/7075626c69632e6d616e795f726f7773.copy")));
    ASSERT_EQ(all.size(), 1500u);
    auto* pageEdit = FindControl<QLineEdit>(*w, MainId::PageSizeEdit);
    FocusControl(pageEdit);
    pageEdit->setText(u"100"_s);
    PressKey(pageEdit, Qt::Key_Return);
    w->RunCommand(CommandId::NextPage);
    w->RunCommand(CommandId::NextPage);

    // Unfiltered, the dialog proposes every row; the save dialog the table's name.
    const std::string allPath = m_scratch.File("all.sql");
    EXPECT_EQ(Export(*w, nullptr, "1170", allPath, 1500), u"public.many_rows  (1,500 行)"_s);
    const CScriptedPrompt::Seen& save = m_prompt.History()[m_prompt.History().size() - 2];
    EXPECT_EQ(save.request.fileName, u"public.many_rows.sql"_s);
    EXPECT_EQ(save.request.filter, u"SQLファイル (*.sql)|*.sql|すべてのファイル (*.*)|*.*||"_s);
    const std::string script = ReadFileBytes(allPath);
    EXPECT_NE(script.find("CREATE TABLE public.many_rows"), std::string::npos);
    EXPECT_EQ(CopyRows(script), all);

    // The page on screen, data only.
    const std::string pagePath = m_scratch.File("page.sql");
    Export(*w, "1160", "1172", pagePath, 100);
    const std::string page = ReadFileBytes(pagePath);
    EXPECT_EQ(page.find("CREATE TABLE"), std::string::npos);
    EXPECT_EQ(CopyRows(page), std::vector<std::string>(all.begin() + 200, all.begin() + 300));

    // Filtered: the matches are proposed and written.
    auto& session = const_cast<CDumpSession&>(w->GetSession());
    std::unique_ptr<CRowFilter> filter;
    std::u16string error;
    ASSERT_TRUE(session.PrepareFilter(u"n % 100 = 0", u"", filter, error));
    std::vector<size_t> matches;
    ASSERT_TRUE(session.RunFilter(*filter, nullptr, matches, error));
    session.SetFilterResult(matches);
    w->ShowPage();
    const std::string filteredPath = m_scratch.File("filtered.sql");
    EXPECT_EQ(Export(*w, nullptr, "1170", filteredPath, 15),
              u"public.many_rows  (1,500 行、絞り込み 15 行)"_s);
    std::vector<std::string> kept;
    for (size_t n = 100; n <= 1500; n += 100) kept.push_back(all[n - 1]);
    EXPECT_EQ(CopyRows(ReadFileBytes(filteredPath)), kept);

    // Definition only writes no rows.
    const std::string ddlPath = m_scratch.File("ddl.sql");
    Export(*w, "1158", "1171", ddlPath, 0);
    const std::string ddl = ReadFileBytes(ddlPath);
    EXPECT_NE(ddl.find("CREATE TABLE public.many_rows"), std::string::npos);
    EXPECT_EQ(ddl.find("COPY "), std::string::npos);

    // A cancelled save dialog writes nothing.
    WhenModalShown<CSqlExportDlg>(
        [](CSqlExportDlg* dlg) { Child<QPushButton>(dlg, "1")->click(); });
    m_prompt.ExpectSaveFile(QString());
    w->RunCommand(CommandId::SqlExport);
    EXPECT_EQ(m_prompt.Remaining(), 0u);
}
