#pragma once

#include <QDialog>
#include <cstdint>

#include "dump/DumpModel.h"
#include "store/CellValue.h"

class QTreeWidget;

// One row of the loaded table as a list of column name, type and value, with a button
// that copies the row to the clipboard.
class CRecordDlg : public QDialog {
    Q_OBJECT
public:
    // table may be null; cells is the decoded row, copied.
    CRecordDlg(QWidget* owner, const TableEntry* table, uint64_t rowNumber, RowCells cells);

    void CopyToClipboard();

private:
    const TableEntry* m_table;
    RowCells m_cells;
    QTreeWidget* m_list;
};
