// Sorting the grid's view from its column headers, and back to the table's order.
#include <QGuiApplication>
#include <QHeaderView>
#include <QTableView>

#include "app/SortedView.h"
#include "jobs/JobContext.h"
#include "sort/SortKeyList.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"

void CKalvexDlg::OnHeaderClicked(int section) {
    // The header flips its indicator on every click; it shows the session's first key.
    UpdateSortIndicator();
    // Section 0 is the row number; the others follow m_visibleColumns.
    if (section < 1 || static_cast<size_t>(section) > m_visibleColumns.size()) return;
    if (!m_session.HasTable() || CurrentTable() == nullptr) return;
    const bool extend = QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
    const std::vector<SortKey> current =
        m_session.IsSorted() ? m_session.GetSortKeys() : std::vector<SortKey>();
    const std::vector<SortKey> keys = ClickSortKeys(
        current, static_cast<size_t>(m_visibleColumns[static_cast<size_t>(section - 1)]), extend);
    if (keys.empty()) {
        OnClearSort();
        return;
    }
    SortView(keys);
}

bool CKalvexDlg::SortView(const std::vector<SortKey>& keys) {
    const TableEntry* table = CurrentTable();
    if (table == nullptr || !m_session.HasTable()) return false;
    const CDumpSession* session = &m_session;
    const std::vector<size_t>* view = m_session.IsFiltered() ? &m_session.GetMatches() : nullptr;
    const size_t memory = SortMemoryBytes(m_settings.sortMemoryMb);
    std::vector<uint32_t> order;
    std::u16string error;
    bool cancelled = false;
    const bool ok = RunWindowJob(
        u"並べ替えています", table->QualifiedName(),
        [session, &keys, view, memory, &order](IJobContext& job, std::u16string& jobError) {
            return session->RunSort(keys, view, memory, &job, order, jobError);
        },
        error, cancelled);
    m_gridModel->ClearCache();
    if (!ok) {
        // The order from before stays on screen.
        if (!cancelled) ShowWarning(error);
        return false;
    }
    m_session.SetSortResult(keys, std::move(order));
    m_pageStart = 0;
    ShowPage();
    SetStatus(table->QualifiedName() + u": " + DescribeSortKeys(keys, table->columns) +
              u" で並べ替えました");
    return true;
}

bool CKalvexDlg::ResortView() {
    if (m_session.GetSortKeys().empty() || m_session.IsSorted()) return true;
    const std::vector<SortKey> keys = m_session.GetSortKeys();
    if (SortView(keys)) return true;
    // A sort that did not finish leaves the new view in table order.
    m_session.ClearSort();
    ShowPage();
    return false;
}

void CKalvexDlg::OnClearSort() {
    const TableEntry* table = CurrentTable();
    if (table == nullptr || !m_session.HasTable()) return;
    m_session.ClearSort();
    ShowPage();
    SetStatus(table->QualifiedName() + u": 並べ替えを解除しました");
}

void CKalvexDlg::UpdateSortIndicator() {
    QHeaderView* header = m_grid->horizontalHeader();
    if (!m_session.IsSorted() || m_session.GetSortKeys().empty()) {
        header->setSortIndicatorShown(false);
        return;
    }
    const SortKey& first = m_session.GetSortKeys().front();
    for (size_t i = 0; i < m_visibleColumns.size(); ++i) {
        if (static_cast<size_t>(m_visibleColumns[i]) != first.column) continue;
        header->setSortIndicator(static_cast<int>(i) + 1,
                                 first.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        header->setSortIndicatorShown(true);
        return;
    }
    // The first key's column is hidden.
    header->setSortIndicatorShown(false);
}
