// The open dump: opening, scanning, closing, the database box and the table list.
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

#include "app/AppText.h"
#include "app/DebugLog.h"
#include "app/TableListing.h"
#include "app/WindowText.h"
#include "jobs/JobContext.h"
#include "store/TableData.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/QtText.h"

void CKalvexDlg::OpenDumpFile(const std::u16string& path) {
    std::u16string error;
    std::unique_ptr<IDumpFile> reader = m_readerFactory(path, error);
    if (!reader) {
        ShowWarning(error);
        return;
    }
    if (IsDebugLogOn(m_settings)) {
        const std::u16string logPath = GetDebugLogPath(m_settingsPath);
        AppendDebugLogLine(logPath, MakeDebugLogHeader(path));
        reader->SetLogger(
            [logPath](const std::u16string& line) { AppendDebugLogLine(logPath, line); });
    }
    // Only the job touches the new reader while it scans; the open dump stays as it is
    // until the scan has succeeded.
    IDumpFile* scanned = reader.get();
    bool cancelled = false;
    const bool ok = RunWindowJob(
        u"ダンプファイルを走査しています", path,
        [scanned](IJobContext& job, std::u16string& jobError) {
            return scanned->Scan(&job, jobError);
        },
        error, cancelled);
    if (!ok) {
        if (!cancelled) ShowWarning(error);
        return;
    }

    CloseDump();
    m_session.SetDump(std::move(reader));
    m_settings.lastDir = DirectoryOf(path);
    m_pathEdit->setText(ToQString(path));
    m_pathEdit->setCursorPosition(0);
    UpdateTitle();
    FillDatabaseCombo();
    FillTableList();
    UpdateControlStates();
    IDumpFile* dump = m_session.GetDump();
    SetStatus(MakeDumpSummary(dump->GetInfo(), dump->GetTables().size()));
    if (dump->GetTables().empty()) {
        ShowInformation(u"ダンプファイルにテーブルが含まれていません。");
    } else if (m_tableList->topLevelItemCount() > 0) {
        // Selecting the first item loads its table right away.
        m_tableList->setCurrentItem(m_tableList->topLevelItem(0));
    }
}

void CKalvexDlg::CloseDump() {
    m_gridModel->Detach();
    m_gridModel->SetColumns(nullptr, {});
    m_session.Close();
    m_pageStart = 0;
    m_tableIndex = -1;
    m_visibleColumns.clear();
    m_suppressTableSelect = true;
    m_tableList->clear();
    m_suppressTableSelect = false;
    m_databaseCombo->clear();
    m_pathEdit->clear();
    UpdateTitle();
    UpdateControlStates();
    SetStatus(kOpenDumpPrompt);
}

void CKalvexDlg::UpdateTitle() {
    const IDumpFile* dump = m_session.GetDump();
    setWindowTitle(ToQString(MakeWindowTitle(dump != nullptr ? &dump->GetPath() : nullptr)));
}

void CKalvexDlg::OnFileOpen() {
    const std::u16string path = AskOpenFileName();
    if (!path.empty()) OpenDumpFile(path);
}

void CKalvexDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CKalvexDlg::dropEvent(QDropEvent* event) {
    // Only the first dropped path is opened; a folder goes the same way as a file.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return;
    const QString path = urls.front().toLocalFile();
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    activateWindow();
    raise();
    OpenDumpFile(FromQString(path));
}

const TableEntry* CKalvexDlg::CurrentTable() const {
    IDumpFile* dump = m_session.GetDump();
    if (dump == nullptr || m_tableIndex < 0) return nullptr;
    const std::vector<TableEntry>& tables = dump->GetTables();
    if (static_cast<size_t>(m_tableIndex) >= tables.size()) return nullptr;
    return &tables[static_cast<size_t>(m_tableIndex)];
}

std::u16string CKalvexDlg::GetSelectedDatabase() const {
    const IDumpFile* dump = m_session.GetDump();
    if (dump == nullptr || !dump->GetInfo().isCluster || m_databaseCombo->currentIndex() < 0) {
        return std::u16string();
    }
    return FromQString(m_databaseCombo->currentText());
}

void CKalvexDlg::FillDatabaseCombo() {
    m_databaseCombo->clear();
    IDumpFile* dump = m_session.GetDump();
    if (dump == nullptr) return;
    const DatabaseChoice choice = MakeDatabaseChoice(dump->GetInfo(), dump->GetTables());
    for (const std::u16string& item : choice.items) m_databaseCombo->addItem(ToQString(item));
    m_databaseCombo->setCurrentIndex(static_cast<int>(choice.selected));
}

void CKalvexDlg::FillTableList() {
    m_suppressTableSelect = true;
    m_tableList->setUpdatesEnabled(false);
    m_tableList->clear();
    if (IDumpFile* dump = m_session.GetDump()) {
        const std::vector<TableListItem> items =
            MakeTableListItems(dump->GetInfo(), dump->GetTables(), GetSelectedDatabase(),
                               FromQString(m_nameFilterEdit->text()));
        QList<QTreeWidgetItem*> rows;
        rows.reserve(static_cast<qsizetype>(items.size()));
        for (const TableListItem& item : items) {
            auto* row = new QTreeWidgetItem(
                {ToQString(item.name), ToQString(item.rows), ToQString(item.columns)});
            row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
            row->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(item.position));
            row->setToolTip(0, ToQString(item.name));
            rows.append(row);
        }
        m_tableList->addTopLevelItems(rows);
    }
    m_tableList->setUpdatesEnabled(true);
    m_suppressTableSelect = false;
}

void CKalvexDlg::OnDatabaseChanged() {
    FillTableList();
    m_gridModel->Detach();
    m_gridModel->SetColumns(nullptr, {});
    m_session.DropTable();
    m_tableIndex = -1;
    UpdateControlStates();
    if (m_tableList->topLevelItemCount() > 0) {
        m_tableList->setCurrentItem(m_tableList->topLevelItem(0));
    }
}

void CKalvexDlg::OnTableSelectionChanged() {
    if (m_suppressTableSelect) return;
    const QList<QTreeWidgetItem*> selected = m_tableList->selectedItems();
    if (selected.isEmpty()) return;
    const int position = static_cast<int>(selected.front()->data(0, Qt::UserRole).toULongLong());
    // Selecting the table already shown loads nothing, also after the list was rebuilt.
    if (position != m_tableIndex) SelectTable(position);
}

void CKalvexDlg::OnNameFilterEnter() {
    if (m_tableList->topLevelItemCount() == 0) return;
    m_tableList->setCurrentItem(m_tableList->topLevelItem(0));
    m_tableList->setFocus();
}

void CKalvexDlg::SelectTable(int position) {
    IDumpFile* dump = m_session.GetDump();
    if (dump == nullptr || position < 0 ||
        static_cast<size_t>(position) >= dump->GetTables().size()) {
        return;
    }
    // Start from an empty view; the grid lets go of the old table before it is dropped.
    m_gridModel->Detach();
    m_session.DropTable();
    m_pageStart = 0;
    m_tableIndex = position;
    const TableEntry& table = dump->GetTables()[static_cast<size_t>(position)];
    m_visibleColumns.clear();
    for (size_t i = 0; i < table.columns.size(); ++i)
        m_visibleColumns.push_back(static_cast<int>(i));
    m_whereEdit->clear();
    m_keywordEdit->clear();

    if (table.dataKind == TableDataKind_None) {
        RebuildGridColumns();
        UpdateControlStates();
        SetStatus(MakeSchemaOnlyStatus(table));
        return;
    }
    CDumpSession* session = &m_session;
    const size_t index = static_cast<size_t>(position);
    std::u16string error;
    bool cancelled = false;
    const bool ok = RunWindowJob(
        u"行データを読み込んでいます", table.QualifiedName(),
        [session, index](IJobContext& job, std::u16string& jobError) {
            return session->LoadTable(index, &job, jobError);
        },
        error, cancelled);
    if (ok && m_session.HasTable()) {
        m_gridModel->Attach(&m_session);
        RebuildGridColumns();
        UpdateControlStates();
        ShowPage();
        SetStatus(MakeTableLoadedStatus(table, m_session.GetTableData()->GetRowCount()));
        return;
    }
    if (!ok && !cancelled) ShowWarning(error);
    // A load that succeeded only after the cancel was confirmed still counts as loaded
    // above; everything else leaves the table's columns without rows.
    m_session.DropTable();
    RebuildGridColumns();
    UpdateControlStates();
    SetStatus(MakeLoadStoppedStatus(table));
}
