// Filtering the loaded table with the WHERE box and the keyword box, and dropping the filter.
#include <QLineEdit>

#include "app/WindowFilter.h"
#include "jobs/JobContext.h"
#include "store/TableData.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/QtText.h"

void CKalvexDlg::OnButtonApply() {
    const TableEntry* table = CurrentTable();
    if (table == nullptr || !m_session.HasTable()) return;
    FilterPlan plan =
        PlanFilter(m_session, FromQString(m_whereEdit->text()), FromQString(m_keywordEdit->text()));
    if (plan.action == FilterAction::Clear) {
        // The boxes keep what was typed in them.
        ClearFilter();
        return;
    }
    if (plan.action == FilterAction::Reject) {
        // The earlier filter and page stay; the user fixes the condition where it was typed.
        ShowWarning(plan.error);
        m_whereEdit->setFocus(Qt::OtherFocusReason);
        return;
    }

    // The grid shows nothing while the rows are tested; the job reads the store through a
    // cursor of its own and leaves the session alone until it has ended.
    m_gridModel->SetPage(m_pageStart, 0, static_cast<size_t>(m_settings.pageSize));
    const uint64_t total = m_session.GetTableData()->GetRowCount();
    const CDumpSession* session = &m_session;
    CRowFilter* filter = plan.filter.get();
    std::vector<size_t> matches;
    std::u16string error;
    bool cancelled = false;
    const bool ok = RunWindowJob(
        u"絞り込んでいます", table->QualifiedName(),
        [session, filter, &matches](IJobContext& job, std::u16string& jobError) {
            return session->RunFilter(*filter, &job, matches, jobError);
        },
        error, cancelled);
    if (!ok) {
        if (!cancelled) ShowWarning(error);
        // The view from before, all rows or the earlier matches, comes back on its page.
        ShowPage();
        return;
    }
    const size_t matchCount = matches.size();
    m_session.SetFilterResult(std::move(matches));
    m_pageStart = 0;
    // The matches are shown in the sort order that was in force.
    ResortView();
    ShowPage();
    SetStatus(MakeFilterStatus(*table, matchCount, total));
}

void CKalvexDlg::ClearFilter() {
    if (!m_session.HasTable()) return;
    const bool wasFiltered = m_session.IsFiltered();
    m_session.ClearFilter();
    m_pageStart = 0;
    ResortView();
    ShowPage();
    const TableEntry* table = CurrentTable();
    if (wasFiltered && table != nullptr) {
        SetStatus(MakeFilterClearedStatus(*table, m_session.GetTableData()->GetRowCount()));
    }
}

void CKalvexDlg::OnClearFilter() {
    m_whereEdit->clear();
    m_keywordEdit->clear();
    ClearFilter();
}
