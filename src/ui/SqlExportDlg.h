#pragma once

#include <QDialog>
#include <string>

#include "export/CsvOptions.h"
#include "export/SqlWriter.h"

class QRadioButton;

// The SQL export choices: which rows of the loaded table, and whether the script holds its
// definition, its data or both.
class CSqlExportDlg : public QDialog {
    Q_OBJECT
public:
    CSqlExportDlg(QWidget* owner, const std::u16string& info, bool filterAvailable);

    CsvScope Scope() const { return m_scope; }
    SqlContent Content() const { return m_content; }

public slots:
    // The export button: takes the choice over, then closes.
    void accept() override;

private:
    CsvScope m_scope = CsvScope_AllRows;
    SqlContent m_content = SqlContent::DefinitionAndData;

    QRadioButton* m_allRows;
    QRadioButton* m_filteredRows;
    QRadioButton* m_currentPage;
    QRadioButton* m_both;
    QRadioButton* m_definitionOnly;
    QRadioButton* m_dataOnly;
};
