#pragma once

#include <QDialog>
#include <vector>

#include "dump/DumpModel.h"

class QTreeWidget;

// Lets the user choose which of the table's columns the grid shows.
class CColumnSelectDlg : public QDialog {
    Q_OBJECT
public:
    // visibleColumns: the positions the grid shows now.
    CColumnSelectDlg(QWidget* owner, const TableEntry* table, std::vector<int> visibleColumns);

    // After OK: the chosen positions in table order. Unchanged otherwise.
    const std::vector<int>& VisibleColumns() const { return m_visibleColumns; }

public slots:
    // Refuses an empty choice with a message and stays open.
    void accept() override;

private:
    void CheckAll(bool checked);

    std::vector<int> m_visibleColumns;
    QTreeWidget* m_list;
};
