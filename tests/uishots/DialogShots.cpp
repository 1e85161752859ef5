// Shows each dialog with the data of a real dump and saves a screenshot of the screen, for
// looking at the dialogs under Xvfb:
//   xvfb-run -s '-screen 0 1280x800x24' kalvex_dialog_shots DUMP OUTDIR [TABLE WHERE]
// With TABLE and WHERE it also takes the main window with that table filtered.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/CreateDumpReader.h"
#include "export/ExportText.h"
#include "store/TableData.h"
#include "ui/AboutDlg.h"
#include "ui/ColumnSelectDlg.h"
#include "ui/CsvExportDlg.h"
#include "ui/DdlDlg.h"
#include "ui/KalvexDlg.h"
#include "ui/MainWindowIds.h"
#include "ui/ProgressDlg.h"
#include "ui/PropertyDlg.h"
#include "ui/QtText.h"
#include "ui/RecordDlg.h"

using namespace Qt::Literals::StringLiterals;

namespace {

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void Shoot(const QString& dir, const QString& name) {
    Settle();
    const QString path = QDir(dir).filePath(name);
    QProcess::execute(u"import"_s, {u"-window"_s, u"root"_s, path});
    std::printf("%s\n", path.toUtf8().constData());
}

// A picture of one window only, cropped from the screen.
void ShootWindow(QWidget& window, const QString& dir, const QString& name) {
    Settle();
    const QRect r = window.frameGeometry();
    const QString path = QDir(dir).filePath(name);
    QProcess::execute(u"import"_s,
                      {u"-window"_s, u"root"_s, u"-crop"_s,
                       u"%1x%2+%3+%4"_s.arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()),
                       u"+repage"_s, path});
    std::printf("%s\n", path.toUtf8().constData());
}

void ShowAndShoot(QDialog& dialog, const QString& dir, const QString& name) {
    dialog.move(20, 20);
    dialog.show();
    Shoot(dir, name);
    dialog.hide();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: kalvex_dialog_shots DUMP OUTDIR [TABLE WHERE]\n");
        return 2;
    }
    const QString dump = QString::fromLocal8Bit(argv[1]);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(dir);

    std::u16string error;
    auto reader = CreateDumpReader(FromQString(dump), error);
    if (!reader || !reader->Scan(nullptr, error)) {
        std::fprintf(stderr, "%s\n", ToQString(error).toUtf8().constData());
        return 1;
    }
    // The table with the most columns shows the most.
    const TableEntry* table = nullptr;
    for (const TableEntry& t : reader->GetTables()) {
        if (t.rowCount > 0 && (table == nullptr || t.columns.size() > table->columns.size())) {
            table = &t;
        }
    }
    if (table == nullptr) return 1;
    CTableData data;
    RowCells cells;
    if (!data.Load(*reader, *table, nullptr, error) || !data.GetRow(0, cells)) {
        std::fprintf(stderr, "%s\n", ToQString(error).toUtf8().constData());
        return 1;
    }

    CRecordDlg record(nullptr, table, 1, cells);
    ShowAndShoot(record, dir, u"record.png"_s);
    record.resize(record.width() + 300, record.height() + 150);
    ShowAndShoot(record, dir, u"record-wide.png"_s);

    CPropertyDlg properties(nullptr, reader->GetInfo(), reader->GetTables().size());
    ShowAndShoot(properties, dir, u"properties.png"_s);

    std::vector<int> visible;
    for (size_t i = 0; i < table->columns.size(); i += 2) visible.push_back(static_cast<int>(i));
    CColumnSelectDlg columns(nullptr, table, visible);
    ShowAndShoot(columns, dir, u"columns.png"_s);

    CsvOptions csvOptions;
    CCsvExportDlg csv(nullptr, table->QualifiedName() + u"  (1,234,567 行、絞り込み 89,012 行)",
                      &csvOptions, true, true);
    ShowAndShoot(csv, dir, u"csv.png"_s);

    CDdlDlg ddl(nullptr, table->QualifiedName(), table->ddl,
                BuildWholeDumpDdl(reader->GetDdlObjects(), false, u""));
    ShowAndShoot(ddl, dir, u"ddl.png"_s);
    ddl.resize(ddl.width() + 250, ddl.height() + 120);
    ShowAndShoot(ddl, dir, u"ddl-wide.png"_s);

    CAboutDlg about(nullptr);
    ShowAndShoot(about, dir, u"about.png"_s);

    // The main window with a table filtered, when a table and a condition are given.
    if (argc >= 5) {
        CKalvexDlg window;
        window.resize(1100, 680);
        window.move(0, 0);
        window.show();
        window.OpenDumpFile(FromQString(dump));
        // Picked in the list, as a user would.
        auto* list = window.findChild<QTreeWidget*>(QString::number(MainId::TableList));
        const QString wanted = QString::fromLocal8Bit(argv[3]);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->text(0) == wanted)
                list->setCurrentItem(list->topLevelItem(i));
        }
        window.findChild<QLineEdit*>(QString::number(MainId::WhereEdit))
            ->setText(QString::fromLocal8Bit(argv[4]));
        window.findChild<QPushButton*>(QString::number(MainId::ApplyButton))->click();
        ShootWindow(window, dir, u"main-filtered.png"_s);
        window.hide();
    }

    std::atomic<bool> shot{false};
    QTimer::singleShot(300, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) w->move(20, 20);
        Shoot(dir, u"progress.png"_s);
        shot.store(true);
    });
    RunJob(
        nullptr, u"ダンプファイルを走査しています",
        u"/home/someone/長いフォルダ名/さらに長いフォルダ名/バックアップ/2024年/" +
            reader->GetPath(),
        [&](IJobContext& job, std::u16string&) {
            job.SetProgress(37);
            while (!shot.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return true;
        },
        error, nullptr);
    return 0;
}
