#pragma once

#include <QDialog>

// The About box: the program's icon, name and version, and what it reads.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* owner);
};
