// The prompts and modal dialogs the main window opens.
#include "app/TableListing.h"
#include "ui/CheckDlg.h"
#include "ui/ColumnSelectDlg.h"
#include "ui/KalvexDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/Prompt.h"
#include "ui/PropertyDlg.h"
#include "ui/QtText.h"
#include "ui/RecordDlg.h"

std::u16string CKalvexDlg::AskOpenFileName() {
    FileDialogRequest request;
    request.title =
        ToQString(u"Kalvex ダンプファイルを開く(Directory 形式はフォルダ内の toc.dat を選択)");
    request.filter = ToQString(
        u"PostgreSQL ダンプ (*.sql;*.dump;*.backup;*.gz;*.dat;*.pgdump)|"
        u"*.sql;*.dump;*.backup;*.gz;*.dat;*.pgdump|すべてのファイル (*.*)|*.*||");
    request.initialDir = ToQString(m_settings.lastDir);
    return FromQString(CurrentPrompt().GetOpenFileName(this, request));
}

void CKalvexDlg::SetJobHook(JobHook hook) {
    m_jobHook = std::move(hook);
}

void CKalvexDlg::ShowWarning(const std::u16string& text) {
    CurrentPrompt().ShowMessage(this, ToQString(text), PromptIcon::Warning);
}

void CKalvexDlg::ShowInformation(const std::u16string& text) {
    CurrentPrompt().ShowMessage(this, ToQString(text), PromptIcon::Information);
}

bool CKalvexDlg::RunWindowJob(const std::u16string& title, const std::u16string& subtitle,
                              std::function<bool(IJobContext&, std::u16string&)> job,
                              std::u16string& error, bool& cancelled) {
    cancelled = false;
    if (m_jobHook) {
        job = [hook = m_jobHook, work = std::move(job)](IJobContext& context,
                                                        std::u16string& jobError) {
            hook(context);
            return work(context, jobError);
        };
    }
    return RunJob(this, title, subtitle, std::move(job), error, &cancelled);
}

void CKalvexDlg::ShowRecordDialog(const TableEntry& table, size_t rowNumber,
                                  const RowCells& cells) {
    CRecordDlg dialog(this, &table, rowNumber, cells);
    dialog.exec();
}

bool CKalvexDlg::ChooseColumns(const TableEntry& table, std::vector<int>& columns) {
    CColumnSelectDlg dialog(this, &table, columns);
    if (dialog.exec() != QDialog::Accepted) return false;
    columns = dialog.VisibleColumns();
    return true;
}

void CKalvexDlg::ShowCheckDialog(const std::vector<TableCheck>& checks) {
    CCheckDlg dialog(this, m_session.GetDump()->GetTables(), checks);
    dialog.exec();
}

void CKalvexDlg::ShowPropertyDialog(const DumpInfo& info, size_t tableCount) {
    CPropertyDlg dialog(this, info, tableCount);
    dialog.exec();
}
