// The data grid: columns, pages, the page size and the row, property and column dialogs.
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <algorithm>

#include "app/AppText.h"
#include "app/GridPaging.h"
#include "app/WindowText.h"
#include "store/TableData.h"
#include "ui/GridModel.h"
#include "ui/KalvexDlg.h"
#include "ui/QtText.h"

size_t CKalvexDlg::GetViewSize() const {
    return m_session.HasTable() ? m_session.GetViewRowCount() : 0;
}

void CKalvexDlg::RebuildGridColumns() {
    m_grid->setUpdatesEnabled(false);
    const TableEntry* table = CurrentTable();
    m_gridModel->SetColumns(table, m_visibleColumns);
    if (table != nullptr) {
        const QFontMetrics metrics(m_grid->font());
        auto textWidth = [&metrics](const std::u16string& text) {
            return metrics.horizontalAdvance(ToQString(text));
        };
        // Column widths fit the names and the first rows, within reason.
        std::vector<int> widths;
        for (int position : m_visibleColumns) {
            const bool valid =
                position >= 0 && static_cast<size_t>(position) < table->columns.size();
            widths.push_back(
                textWidth(valid ? table->columns[static_cast<size_t>(position)].name : u"") + 24);
        }
        int numberWidth = 64;
        if (m_gridModel->HasRows()) {
            const size_t rowCount = m_session.GetTableData()->GetRowCount();
            numberWidth = std::max(64, textWidth(FormatThousands(rowCount)) + 24);
            const size_t sample = std::min<size_t>(rowCount, 40);
            RowCells cells;
            for (size_t row = 0; row < sample; ++row) {
                if (!m_gridModel->ReadRow(row, cells)) break;
                for (size_t i = 0; i < m_visibleColumns.size(); ++i) {
                    const int position = m_visibleColumns[i];
                    if (position < 0 || static_cast<size_t>(position) >= cells.size()) continue;
                    widths[i] = std::max(
                        widths[i],
                        textWidth(FormatCellText(cells[static_cast<size_t>(position)])) + 20);
                }
            }
        }
        QHeaderView* header = m_grid->horizontalHeader();
        m_grid->setColumnWidth(0, numberWidth);
        for (size_t i = 0; i < widths.size(); ++i) {
            m_grid->setColumnWidth(static_cast<int>(i) + 1, std::clamp(widths[i], 50, 420));
        }
        // Columns dragged into another order start over in table order.
        for (int logical = 0; logical < header->count(); ++logical) {
            const int visual = header->visualIndex(logical);
            if (visual != logical) header->moveSection(visual, logical);
        }
    }
    m_grid->setUpdatesEnabled(true);
    m_grid->viewport()->update();
}

void CKalvexDlg::ShowPage() {
    const size_t viewSize = GetViewSize();
    const size_t pageSize = static_cast<size_t>(m_settings.pageSize);
    m_pageStart = ClampPageStart(m_pageStart, viewSize, pageSize);
    const size_t count = PageItemCount(m_pageStart, viewSize, pageSize);
    m_gridModel->SetPage(m_pageStart, count, pageSize);
    if (count > 0) m_grid->scrollToTop();
    UpdatePageInfo();
    UpdateSortIndicator();
}

void CKalvexDlg::UpdatePageInfo() {
    const bool rows = m_session.HasTable();
    const size_t viewSize = GetViewSize();
    const size_t pageSize = static_cast<size_t>(m_settings.pageSize);
    const PageButtons buttons = GetPageButtons(rows, m_pageStart, viewSize, pageSize);
    m_pageButtons[0]->setEnabled(buttons.first);
    m_pageButtons[1]->setEnabled(buttons.previous);
    m_pageButtons[2]->setEnabled(buttons.next);
    m_pageButtons[3]->setEnabled(buttons.last);
    const uint64_t total = rows ? m_session.GetTableData()->GetRowCount() : 0;
    m_pageText->setText(ToQString(
        FormatPageInfo(rows, m_pageStart, viewSize, pageSize, m_session.IsFiltered(), total)));
}

bool CKalvexDlg::CommitPageSize() {
    const int32_t value = ParsePageSize(FromQString(m_pageSizeEdit->text()));
    m_pageSizeEdit->setText(QString::number(value));
    if (value == m_settings.pageSize) return false;
    m_pageStart = AlignPageStart(m_pageStart, static_cast<size_t>(value));
    m_settings.pageSize = value;
    return true;
}

void CKalvexDlg::OnFirstPage() {
    if (!m_session.HasTable()) return;
    m_pageStart = 0;
    ShowPage();
}

void CKalvexDlg::OnPreviousPage() {
    if (!m_session.HasTable()) return;
    m_pageStart = PreviousPageStart(m_pageStart, static_cast<size_t>(m_settings.pageSize));
    ShowPage();
}

void CKalvexDlg::OnNextPage() {
    if (!m_session.HasTable()) return;
    m_pageStart =
        NextPageStart(m_pageStart, GetViewSize(), static_cast<size_t>(m_settings.pageSize));
    ShowPage();
}

void CKalvexDlg::OnLastPage() {
    if (!m_session.HasTable()) return;
    m_pageStart = LastPageStart(GetViewSize(), static_cast<size_t>(m_settings.pageSize));
    ShowPage();
}

void CKalvexDlg::ShowRowDetail() {
    const TableEntry* table = CurrentTable();
    if (table == nullptr || !m_session.HasTable()) return;
    // With several rows selected, the one the cursor is on.
    const QModelIndex current = m_grid->selectionModel()->currentIndex();
    int item = current.isValid() && m_grid->selectionModel()->isRowSelected(current.row())
                   ? current.row()
                   : -1;
    if (item < 0) {
        const QModelIndexList selected = m_grid->selectionModel()->selectedRows();
        if (selected.isEmpty()) return;
        item = selected.front().row();
    }
    const size_t viewRow = m_pageStart + static_cast<size_t>(item);
    if (viewRow >= GetViewSize()) return;
    const size_t tableRow = m_session.GetViewRow(viewRow);
    RowCells cells;
    if (!m_gridModel->ReadRow(tableRow, cells)) return;
    ShowRecordDialog(*table, tableRow + 1, cells);
}

void CKalvexDlg::OnVisibleColumns() {
    const TableEntry* table = CurrentTable();
    if (table == nullptr || !m_session.HasTable()) return;
    std::vector<int> columns = m_visibleColumns;
    if (!ChooseColumns(*table, columns)) return;
    m_visibleColumns = std::move(columns);
    RebuildGridColumns();
    ShowPage();
}

void CKalvexDlg::OnProperties() {
    IDumpFile* dump = m_session.GetDump();
    if (dump == nullptr) return;
    ShowPropertyDialog(dump->GetInfo(), dump->GetTables().size());
}
