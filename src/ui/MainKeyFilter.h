#pragma once

#include <QObject>

class CKalvexDlg;

// Sees every key press of the application before its control does, so the main window's
// accelerators (Ctrl+Left and Ctrl+Right among them) work even inside an edit box, which
// would otherwise take those keys for itself. Only while the main window is the active
// window and no popup or modal dialog is in front of it.
class CMainKeyFilter : public QObject {
public:
    explicit CMainKeyFilter(CKalvexDlg& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CKalvexDlg& m_window;
};
