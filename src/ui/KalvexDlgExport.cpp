// The main window's CSV export, DDL viewer and About commands.
#include <utility>

#include "app/ExportRequest.h"
#include "app/OutputTarget.h"
#include "app/SortedView.h"
#include "export/CsvWriter.h"
#include "export/ExportText.h"
#include "store/TableData.h"
#include "ui/AboutDlg.h"
#include "ui/CsvExportDlg.h"
#include "ui/DdlDlg.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/Prompt.h"
#include "ui/QtText.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The output path, or empty when the user cancels. It opens in the last folder a dump was
// opened from and does not change it.
std::u16string AskCsvFileName(QWidget* parent, const std::u16string& fileName,
                              const std::u16string& lastDir) {
    FileDialogRequest request;
    request.title = u"Kalvex CSV出力"_s;
    request.filter =
        u"CSVファイル (*.csv)|*.csv|テキストファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*||"_s;
    request.fileName = ToQString(fileName);
    request.defaultSuffix = u"csv"_s;
    request.initialDir = ToQString(lastDir);
    return FromQString(CurrentPrompt().GetSaveFileName(parent, request));
}

}  // namespace

void CKalvexDlg::OnFileCsv() {
    const TableEntry* table = CurrentTable();
    // The rows on screen must be the selected table's, or the header would name the wrong
    // columns.
    if (table == nullptr || !m_session.HasTable() || m_session.GetTable() != table) return;
    const CTableData* data = m_session.GetTableData();
    const bool filtered = m_session.IsFiltered();
    const std::u16string info =
        MakeCsvExportInfo(table->QualifiedName(), data->GetRowCount(), filtered,
                          m_session.GetMatches().size(), m_session.IsSorted());
    const bool someHidden = m_visibleColumns.size() < table->columns.size();

    CCsvExportDlg dialog(this, info, &m_settings.csv, filtered, someHidden);
    if (dialog.exec() != QDialog::Accepted) return;

    std::vector<uint64_t> rows = ExportRowsOf(m_session, dialog.Scope(), m_pageStart,
                                              static_cast<size_t>(m_settings.pageSize));
    // Every row of a filtered, sorted view: the job sorts the whole table by the same keys.
    const bool sortAll = ExportNeedsFullSort(m_session, dialog.Scope());
    const CDumpSession* session = &m_session;
    const std::vector<SortKey> keys = m_session.GetSortKeys();
    const size_t sortMemory = SortMemoryBytes(m_settings.sortMemoryMb);
    std::vector<int32_t> columns =
        CsvColumnList(table->columns.size(), dialog.VisibleOnly(), m_visibleColumns);
    const std::u16string path =
        AskCsvFileName(this, DefaultCsvFileName(table->QualifiedName()), m_settings.lastDir);
    if (path.empty()) return;
    std::u16string refusal;
    if (!CheckOutputIsNotDump(m_session.GetDump()->GetPath(), path, refusal)) {
        ShowWarning(refusal);
        return;
    }

    // The job reads the store through a cursor of its own; the grid keeps painting from its.
    uint64_t written = 0;
    std::u16string error;
    bool cancelled = false;
    const bool ok = RunWindowJob(
        u"CSVファイルを出力しています", path,
        [data, table, columns = std::move(columns), rows = std::move(rows),
         options = m_settings.csv, path, &written, sortAll, session, keys,
         sortMemory](IJobContext& job, std::u16string& jobError) mutable {
            if (sortAll) {
                std::vector<uint32_t> order;
                if (!session->RunSort(keys, nullptr, sortMemory, &job, order, jobError)) {
                    return false;
                }
                rows = SortedTableRows(order);
            }
            return WriteCsvFile(*data, *table, columns, rows, options, path, &job, written,
                                jobError);
        },
        error, cancelled);
    m_gridModel->ClearCache();
    if (ok) {
        ShowInformation(MakeCsvFinishedMessage(written, path));
    } else if (!cancelled) {
        ShowWarning(error);
    }
}

void CKalvexDlg::OnDdl() {
    const IDumpFile* dump = m_session.GetDump();
    if (dump == nullptr) return;
    const DdlTexts texts = GatherDdlTexts(*dump, CurrentTable(), GetSelectedDatabase());
    CDdlDlg dialog(this, texts.tableName, texts.tableDdl, texts.dumpDdl, dump->GetPath());
    dialog.exec();
}

// Linux has no system menu to carry the About item: the Help menu is the only way in.
void CKalvexDlg::OnAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}
