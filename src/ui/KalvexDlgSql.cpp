// The main window's SQL export.
#include <utility>

#include "app/ExportRequest.h"
#include "app/OutputTarget.h"
#include "app/SqlExport.h"
#include "export/ExportText.h"
#include "export/SqlWriter.h"
#include "store/TableData.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/Prompt.h"
#include "ui/QtText.h"
#include "ui/SqlExportDlg.h"

using namespace Qt::Literals::StringLiterals;

void CKalvexDlg::OnFileSql() {
    const TableEntry* table = CurrentTable();
    if (table == nullptr || !m_session.HasTable() || m_session.GetTable() != table) return;
    const CTableData* data = m_session.GetTableData();
    const bool filtered = m_session.IsFiltered();
    const std::u16string info = MakeCsvExportInfo(table->QualifiedName(), data->GetRowCount(),
                                                  filtered, m_session.GetMatches().size());
    CSqlExportDlg dialog(this, info, filtered);
    if (dialog.exec() != QDialog::Accepted) return;

    FileDialogRequest request;
    request.title = u"Kalvex SQL出力"_s;
    request.filter = u"SQLファイル (*.sql)|*.sql|すべてのファイル (*.*)|*.*||"_s;
    request.fileName = ToQString(DefaultDdlFileName(table->QualifiedName(), false));
    request.defaultSuffix = u"sql"_s;
    request.initialDir = ToQString(m_settings.lastDir);
    const std::u16string path = FromQString(CurrentPrompt().GetSaveFileName(this, request));
    if (path.empty()) return;
    std::u16string refusal;
    if (!CheckOutputIsNotDump(m_session.GetDump()->GetPath(), path, refusal)) {
        ShowWarning(refusal);
        return;
    }

    // All rows stream straight from the dump; the other scopes name the store's rows, which
    // are the dump's rows in the same order.
    std::vector<uint64_t> rows;
    const bool allRows = dialog.Scope() == CsvScope_AllRows;
    if (!allRows) {
        rows = ExportRowsOf(m_session, dialog.Scope(), m_pageStart,
                            static_cast<size_t>(m_settings.pageSize));
    }
    SqlScriptOptions options;
    options.content = dialog.Content();
    IDumpFile* dump = m_session.GetDump();
    const size_t tableIndex = static_cast<size_t>(m_session.GetTableIndex());
    uint64_t written = 0;
    std::u16string error;
    bool cancelled = false;
    const bool ok = RunWindowJob(
        u"SQLファイルを出力しています", path,
        [dump, tableIndex, allRows, rows = std::move(rows), options, path, &written](
            IJobContext& job, std::u16string& jobError) {
            const std::vector<SqlTableChoice> tables{
                SqlTableChoice{tableIndex, {}, allRows ? nullptr : &rows}};
            return WriteSqlScript(*dump, tables, options, path, &job, written, jobError);
        },
        error, cancelled);
    m_gridModel->ClearCache();
    if (ok) {
        ShowInformation(MakeSqlFinishedMessage(written, path));
    } else if (!cancelled) {
        ShowWarning(error);
    }
}
