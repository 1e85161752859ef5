// The grid's row conveniences: copying rows, going to a row, and the width of the table
// list beside it.
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLayout>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <algorithm>

#include "app/GoToRow.h"
#include "app/GridCopy.h"
#include "store/TableData.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/Prompt.h"
#include "ui/QtText.h"

void CKalvexDlg::CopySelectedRows() {
    const TableEntry* table = CurrentTable();
    if (table == nullptr || !m_session.HasTable()) return;
    QModelIndexList selected = m_grid->selectionModel()->selectedRows();
    if (selected.isEmpty()) return;
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    // The columns in the order on screen, which a header drag may have changed; "#" is the
    // grid's own and not a column of the table.
    const QHeaderView* header = m_grid->horizontalHeader();
    std::vector<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 1 || header->isSectionHidden(logical)) continue;
        const size_t i = static_cast<size_t>(logical - 1);
        if (i < m_visibleColumns.size()) columns.push_back(m_visibleColumns[i]);
    }
    std::vector<RowCells> rows;
    rows.reserve(static_cast<size_t>(selected.size()));
    for (const QModelIndex& index : selected) {
        const RowCells* cells =
            m_gridModel->GetViewRow(m_pageStart + static_cast<size_t>(index.row()));
        rows.push_back(cells != nullptr ? *cells : RowCells());
    }
    QApplication::clipboard()->setText(ToQString(MakeCopiedRowsText(*table, columns, rows)));
}

void CKalvexDlg::GoToRow() {
    if (!m_session.HasTable()) return;
    QString answer;
    const std::u16string prompt = MakeGoToRowPrompt(m_session.GetTableData()->GetRowCount());
    if (!CurrentPrompt().AskText(this, ToQString(prompt), answer)) return;
    const GoToRowTarget target =
        FindGoToRowTarget(m_session, FromQString(answer), static_cast<size_t>(m_settings.pageSize));
    if (!target.found) {
        ShowInformation(target.message);
        return;
    }
    m_pageStart = target.pageStart;
    ShowPage();
    const QModelIndex index =
        m_gridModel->index(static_cast<int>(target.viewIndex - m_pageStart), 0);
    m_grid->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_grid->scrollTo(index);
    m_grid->setFocus();
}

void CKalvexDlg::RestoreListWidth() {
    if (m_settings.listWidth <= 0) return;
    // The splitter shares out its real width, which it has once the window is laid out.
    layout()->activate();
    const int total = m_listSplitter->width() - m_listSplitter->handleWidth();
    m_listSplitter->setSizes({m_settings.listWidth, std::max(0, total - m_settings.listWidth)});
}

void CKalvexDlg::OnListResized() {
    // The name column takes what the count columns leave, so a widened list shows long
    // names whole.
    const int width = m_tableList->width() - 2 * m_tableList->frameWidth();
    m_tableList->setColumnWidth(0, std::max(40, width - 130));
}
