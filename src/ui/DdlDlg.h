#pragma once

#include <QDialog>
#include <QFont>
#include <string>

class QPlainTextEdit;
class QRadioButton;

// Shows the DDL of the selected table or of the whole dump, copies it to the clipboard and
// saves it as a UTF-8 file with a byte order mark. It is handed the texts and never
// touches the dump.
class CDdlDlg : public QDialog {
    Q_OBJECT
public:
    // The texts get CR LF line ends here. tableName is empty when no table is selected.
    // dumpPath is the open dump's, which Save refuses to overwrite.
    CDdlDlg(QWidget* owner, const std::u16string& tableName, const std::u16string& tableDdl,
            const std::u16string& dumpDdl, const std::u16string& dumpPath = {});

    // The text of the checked mode, in full.
    const std::u16string& ShownText() const;
    // The name the save dialog proposes for the checked mode.
    std::u16string DefaultFileName() const;
    void CopyToClipboard();
    void Save();

private:
    void ShowCheckedText();
    bool WholeDumpChecked() const;

    std::u16string m_tableName;
    std::u16string m_tableDdl;
    std::u16string m_dumpDdl;
    std::u16string m_dumpPath;
    QPlainTextEdit* m_edit;
    QFont m_font;
    QRadioButton* m_tableRadio;
    QRadioButton* m_dumpRadio;
};
