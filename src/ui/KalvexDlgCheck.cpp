// ファイル > ダンプの検査: reads every table of the open dump and shows the verdicts.
#include "app/DumpCheck.h"
#include "ui/KalvexDlg.h"

void CKalvexDlg::OnCheckDump() {
    IDumpFile* dump = m_session.GetDump();
    if (dump == nullptr) return;
    std::vector<TableCheck> checks;
    std::u16string error;
    bool cancelled = false;
    const std::vector<size_t> tables = m_session.GetTableIndexes(nullptr);
    // The check only reads the dump, so the table on screen and its filter stay as they are.
    const bool ok = RunWindowJob(
        u"ダンプを検査しています", dump->GetPath(),
        [dump, &tables, &checks](IJobContext& job, std::u16string& jobError) {
            return CheckDump(*dump, tables, &job, checks, jobError);
        },
        error, cancelled);
    if (ok) {
        ShowCheckDialog(checks);
    } else if (!cancelled) {
        ShowWarning(error);
    }
}
