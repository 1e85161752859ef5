#pragma once

#include <QDialog>
#include <string>

#include "export/CsvOptions.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

// The CSV export options: which rows, which columns, and the format. It starts from the
// settings' CSV options and writes the choice back into them when the user exports; the
// row scope and the visible-columns choice are results of this run only.
class CCsvExportDlg : public QDialog {
    Q_OBJECT
public:
    // options is not owned and must outlive the dialog.
    CCsvExportDlg(QWidget* owner, const std::u16string& info, CsvOptions* options,
                  bool filterAvailable, bool columnChoiceAvailable);

    CsvScope Scope() const { return m_scope; }
    bool VisibleOnly() const { return m_visibleOnly; }

public slots:
    // The export button: takes the choice over, then closes.
    void accept() override;

private:
    std::u16string m_info;
    CsvOptions* m_options;
    bool m_filterAvailable;
    bool m_columnChoiceAvailable;
    CsvScope m_scope = CsvScope_AllRows;
    bool m_visibleOnly = false;

    QRadioButton* m_allRows;
    QRadioButton* m_filteredRows;
    QRadioButton* m_currentPage;
    QCheckBox* m_visibleColumns;
    QRadioButton* m_comma;
    QRadioButton* m_tab;
    QRadioButton* m_utf8Bom;
    QRadioButton* m_utf8;
    QRadioButton* m_sjis;
    QCheckBox* m_header;
    QCheckBox* m_quoteAll;
    QLineEdit* m_nullText;
};
