#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/DumpCheck.h"
#include "app/DumpSession.h"
#include "settings/Settings.h"
#include "store/CellValue.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QSplitter;
class QTableView;
class QTreeWidget;
class CGridModel;
struct TableEntry;

// The main window: the open dump, its table list, the paged grid and every command.
// The dump, the loaded table and the filter live in a CDumpSession; this class wires the
// controls to it.
class CKalvexDlg : public QDialog {
    Q_OBJECT

public:
    // Creates the reader for a path; the default is CreateDumpReader.
    using ReaderFactory = std::function<std::unique_ptr<IDumpFile>(const std::u16string& path,
                                                                   std::u16string& error)>;

    explicit CKalvexDlg(QWidget* parent = nullptr);
    ~CKalvexDlg() override;

    // The file named on the command line; opened once the window has appeared.
    void SetInitialFile(const std::u16string& path);
    void SetReaderFactory(ReaderFactory factory);
    // Runs on a job's thread before the work of every job this window starts; lets a test
    // hold a job until it is cancelled.
    using JobHook = std::function<void(IJobContext& job)>;
    void SetJobHook(JobHook hook);

    void OpenDumpFile(const std::u16string& path);
    void CloseDump();
    void UpdateTitle();

    const TableEntry* CurrentTable() const;
    std::u16string GetSelectedDatabase() const;
    void FillDatabaseCombo();
    void FillTableList();
    void SelectTable(int position);

    void RebuildGridColumns();
    void ShowPage();
    void UpdatePageInfo();
    bool CommitPageSize();
    void ShowRowDetail();
    // Puts the selected grid rows on the clipboard: a header line and one line per row.
    void CopySelectedRows();
    // Asks for a row number and shows the page that holds that row, selected.
    void GoToRow();

    // Drops the filter and shows every row from the first page.
    void ClearFilter();

    void UpdateControlStates();
    // The command of a menu item or button, by its command id.
    void RunCommand(int commandId);
    QAction* GetAction(int commandId) const;

    // Key handling before a key reaches its control: accelerators, Enter and Escape.
    // True when the key was consumed.
    bool HandleKey(QObject* target, int key, Qt::KeyboardModifiers modifiers);

    const CDumpSession& GetSession() const { return m_session; }
    const AppSettings& GetSettings() const { return m_settings; }
    const std::u16string& GetSettingsPath() const { return m_settingsPath; }
    size_t GetPageStart() const { return m_pageStart; }
    int GetTableIndex() const { return m_tableIndex; }
    const std::vector<int>& GetVisibleColumns() const { return m_visibleColumns; }
    CGridModel* GetGridModel() const { return m_gridModel; }

public slots:
    // Enter and Escape never close the main window.
    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenu();
    void RestoreWindowSize();
    void OpenInitialFile();
    void OnFileOpen();
    void OnTableSelectionChanged();
    void OnDatabaseChanged();
    void OnFirstPage();
    void OnPreviousPage();
    void OnNextPage();
    void OnLastPage();
    void OnVisibleColumns();
    void OnProperties();
    void OnCheckDump();
    void OnSaveSettings();
    void OnButtonApply();
    void OnClearFilter();
    // Sorting the view from the grid's header (KalvexDlgSort.cpp).
    void OnHeaderClicked(int section);
    void OnClearSort();
    bool SortView(const std::vector<SortKey>& keys);
    bool ResortView();
    void UpdateSortIndicator();
    void OnFileCsv();
    void OnFileSql();
    void OnDdl();
    void OnAbout();
    void OnNameFilterEnter();
    void StoreWindowSize();
    // The splitter's left side gets the stored list width, when there is one.
    void RestoreListWidth();
    void OnListResized();
    size_t GetViewSize() const;
    bool RunWindowJob(const std::u16string& title, const std::u16string& subtitle,
                      std::function<bool(IJobContext&, std::u16string&)> job, std::u16string& error,
                      bool& cancelled);
    // The modal dialogs and prompts this window opens.
    std::u16string AskOpenFileName();
    void ShowRecordDialog(const TableEntry& table, size_t rowNumber, const RowCells& cells);
    bool ChooseColumns(const TableEntry& table, std::vector<int>& columns);
    void ShowPropertyDialog(const DumpInfo& info, size_t tableCount);
    void ShowCheckDialog(const std::vector<TableCheck>& checks);
    void ShowWarning(const std::u16string& text);
    void ShowInformation(const std::u16string& text);
    void SetStatus(const std::u16string& text);

    ReaderFactory m_readerFactory;
    JobHook m_jobHook;

    std::u16string m_settingsPath;
    AppSettings m_settings;
    std::u16string m_initialFile;
    CDumpSession m_session;
    int m_tableIndex = -1;
    size_t m_pageStart = 0;
    std::vector<int> m_visibleColumns;
    bool m_suppressTableSelect = false;
    bool m_closing = false;

    QMenuBar* m_menuBar = nullptr;
    std::map<int, QAction*> m_actions;
    QLineEdit* m_pathEdit = nullptr;
    QPushButton* m_openButton = nullptr;
    QComboBox* m_databaseCombo = nullptr;
    QLineEdit* m_nameFilterEdit = nullptr;
    QTreeWidget* m_tableList = nullptr;
    QSplitter* m_listSplitter = nullptr;
    QLineEdit* m_whereEdit = nullptr;
    QPushButton* m_applyButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    QLineEdit* m_keywordEdit = nullptr;
    QPushButton* m_columnsButton = nullptr;
    QPushButton* m_ddlButton = nullptr;
    QPushButton* m_csvButton = nullptr;
    QTableView* m_grid = nullptr;
    CGridModel* m_gridModel = nullptr;
    QPushButton* m_pageButtons[4] = {};
    QLineEdit* m_pageSizeEdit = nullptr;
    QLabel* m_pageText = nullptr;
    QLabel* m_statusText = nullptr;
    QObject* m_keyFilter = nullptr;
};
