#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "MainWindowDriver.h"
#include "ScriptedPrompt.h"
#include "UiTestUtil.h"
#include "app/CreateDumpReader.h"
#include "jobs/JobContext.h"
#include "support/ScopedEnv.h"
#include "support/TestPaths.h"
#include "ui/CheckDlg.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class CheckWindowTest : public ::testing::Test {
protected:
    void SetUp() override { m_ini.Set(m_scratch.File("Kalvex.ini")); }

    std::unique_ptr<CKalvexDlg> MakeWindow() {
        auto window = std::make_unique<CKalvexDlg>();
        window->show();
        QApplication::processEvents();
        return window;
    }

    // An uncompressed directory dump whose public.simple lost the last field of its
    // second row: it opens, and only reading the data shows the damage.
    std::u16string DamagedCopy() {
        namespace fs = std::filesystem;
        const fs::path copy = fs::path(m_scratch.Path()) / "d";
        fs::copy(FixturePath("dumps/kx_main.dir-z0"), copy, fs::copy_options::recursive);
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16((copy / "toc.dat").string()), error);
        for (const TableEntry& table : dump->GetTables()) {
            if (table.QualifiedName() != u"public.simple") continue;
            const std::string file = (copy / U8(table.dataFile)).string();
            std::string text = ReadFileBytes(file);
            const size_t second = text.find('\n') + 1;
            const size_t end = text.find('\n', second);
            const size_t lastTab = text.rfind('\t', end);
            text.erase(lastTab, end - lastTab);
            std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        }
        return U16((copy / "toc.dat").string());
    }

    ScratchDir m_scratch;
    ScopedEnv m_ini{"KALVEX_INIFILE_PATH"};
    CScriptedPrompt m_prompt;
};

TEST_F(CheckWindowTest, CheckShowsEveryTableInDumpOrderWithTheDamagedOneMarked) {
    auto w = MakeWindow();
    QAction* action = w->findChild<QAction*>(QString::number(CommandId::CheckDump));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), Q("ダンプの検査(&K)..."));
    EXPECT_FALSE(action->isEnabled());

    w->OpenDumpFile(DamagedCopy());
    ASSERT_EQ(m_prompt.Remaining(), 0u);
    ASSERT_TRUE(action->isEnabled());
    const TableEntry* before = w->CurrentTable();
    ASSERT_NE(before, nullptr);
    const std::u16string shownTable = before->QualifiedName();

    QString title, summary, copied;
    QStringList headers;
    std::vector<QStringList> rows;
    std::vector<bool> warned;
    // The progress dialog comes first; the check's own dialog follows it.
    WhenModalShown<CCheckDlg>([&](CCheckDlg* dialog) {
        title = dialog->windowTitle();
        auto* list = dialog->findChild<QTreeWidget*>(Q("CheckList"));
        ASSERT_NE(list, nullptr);
        for (int c = 0; c < list->columnCount(); ++c) headers << list->headerItem()->text(c);
        const QColor normal = list->palette().color(QPalette::Text);
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            QTreeWidgetItem* item = list->topLevelItem(r);
            rows.push_back({item->text(0), item->text(1), item->text(2)});
            warned.push_back(item->foreground(0).color() != normal &&
                             item->foreground(0).style() != Qt::NoBrush);
        }
        summary = dialog->findChild<QLabel*>(Q("CheckSummary"))->text();
        dialog->findChild<QPushButton*>(Q("CopyButton"))->click();
        copied = QGuiApplication::clipboard()->text();
        auto* close = dialog->findChild<QPushButton*>(Q("CloseButton"));
        ASSERT_NE(close, nullptr);
        EXPECT_EQ(close->text(), Q("閉じる"));
        close->click();
    });
    w->RunCommand(CommandId::CheckDump);

    EXPECT_EQ(title, Q("ダンプの検査"));
    EXPECT_EQ(headers, (QStringList{Q("テーブル"), Q("件数"), Q("状態")}));
    const std::vector<TableEntry>& tables = w->GetSession().GetDump()->GetTables();
    ASSERT_EQ(rows.size(), tables.size());
    size_t damaged = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], QString::fromStdU16String(tables[i].QualifiedName()));
        const bool ok = rows[i][2] == Q("正常");
        EXPECT_EQ(warned[i], !ok) << i;
        if (!ok) {
            ++damaged;
            EXPECT_EQ(rows[i][0], Q("public.simple"));
            EXPECT_EQ(rows[i][2], Q("列数が一致しない行があります(行 2)。"));
        }
    }
    EXPECT_EQ(damaged, 1u);
    EXPECT_EQ(summary, Q("テーブル 21 個を検査しました(正常 20 個、異常 1 個)"));
    EXPECT_TRUE(copied.startsWith(Q("テーブル\t件数\t状態\r\n")));
    EXPECT_EQ(copied.count(Q("\r\n")), static_cast<qsizetype>(rows.size() + 1));
    // The table on screen is the one that was there.
    ASSERT_NE(w->CurrentTable(), nullptr);
    EXPECT_EQ(w->CurrentTable()->QualifiedName(), shownTable);
}

TEST_F(CheckWindowTest, CancelledCheckShowsNothing) {
    auto w = MakeWindow();
    w->OpenDumpFile(FixturePathW("dumps/kx_main.custom.dump"));
    ASSERT_EQ(m_prompt.Remaining(), 0u);
    w->SetJobHook([](IJobContext& job) {
        for (int i = 0; i < 2000 && !job.IsCancelled(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    m_prompt.ExpectYesNo(Q("処理を中止しますか？"), true);
    CancelNextProgress();
    w->RunCommand(CommandId::CheckDump);
    EXPECT_EQ(m_prompt.Remaining(), 0u);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<CCheckDlg*>(widget), nullptr);
}

}  // namespace
