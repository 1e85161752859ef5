#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dump/DumpFile.h"

class CKalvexDlg;

// Finds a control of the main window (or any dialog) by its id.
template <class T>
T* FindControl(QWidget& window, int id) {
    return window.findChild<T*>(QString::number(id));
}

// The visible text of a label, edit box or button.
QString ControlText(QWidget& window, int id);
bool ControlEnabled(QWidget& window, int id);
// Each row of a QTreeWidget list as its column texts.
std::vector<QStringList> ListRows(QWidget& window, int id);
// The grid's text at a row and column of the page.
QString GridCell(CKalvexDlg& window, int row, int column);
int GridRows(CKalvexDlg& window);
int GridColumns(CKalvexDlg& window);
QString GridHeader(CKalvexDlg& window, int column);

// Sends a key press as the keyboard would, through the application's event filters.
void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Makes the window active and gives widget the focus.
void FocusControl(QWidget* widget);

// Runs inspect on the next modal dialog that is not the main window (once it is shown),
// then closes it with reject(). For the dialogs that are not prompts.
void HandleNextModal(std::function<void(QWidget* dialog)> inspect);

// Clicks the cancel button of the progress dialog as soon as one appears.
void CancelNextProgress();

// A reader that does the real work but, when told to, holds its scan or its table load
// until the job is cancelled, so a test can cancel at leisure.
struct HoldFlags {
    std::atomic<bool> holdScan{false};
    std::atomic<bool> holdLoad{false};
};
std::unique_ptr<IDumpFile> HoldingReader(std::unique_ptr<IDumpFile> reader,
                                         std::shared_ptr<HoldFlags> flags);

// A plain SQL dump of one table public.big (n integer, label text) with rows 1..count.
std::string WritePlainDump(const std::string& path, size_t count);
