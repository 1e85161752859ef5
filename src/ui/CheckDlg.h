#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/DumpCheck.h"

class QTreeWidget;

// The verdict of the dump check, one row per table in dump order.
class CCheckDlg : public QDialog {
    Q_OBJECT
public:
    CCheckDlg(QWidget* owner, const std::vector<TableEntry>& tables,
              const std::vector<TableCheck>& checks);

    // What コピー puts on the clipboard.
    const std::u16string& ListText() const { return m_listText; }

private:
    std::u16string m_listText;
};
