#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstddef>
#include <map>
#include <memory>
#include <vector>

#include "store/CellValue.h"

class CDumpSession;
class CTableCursor;
struct TableEntry;

// The data grid's model: one page of view rows, a "#" column and the visible columns.
// It stores no texts: data() decodes a row the first time it is painted, through the
// grid's own read cursor, and keeps the decoded rows of the page in a small cache.
class CGridModel : public QAbstractTableModel {
public:
    explicit CGridModel(QObject* parent = nullptr);
    ~CGridModel() override;

    // Starts reading the session's loaded table with a fresh cursor; with no table loaded
    // the model shows nothing. Call Detach before the session drops or reloads its table.
    void Attach(const CDumpSession* session);
    void Detach();

    // The columns shown after "#": positions in table's columns, in display order.
    void SetColumns(const TableEntry* table, const std::vector<int>& visibleColumns);
    // Shows count view rows from pageStart; empties the row cache.
    void SetPage(size_t pageStart, size_t count, size_t pageSize);
    void ClearCache();

    // Decoded cells of view row v, or null when there is no such row. A row that cannot be
    // read is cached as no cells.
    const RowCells* GetViewRow(size_t viewRow);
    // Decodes one row of the table through the grid's cursor.
    bool ReadRow(size_t tableRow, RowCells& cells);
    bool HasRows() const { return m_cursor != nullptr; }
    size_t GetPageStart() const { return m_pageStart; }
    size_t GetCachedRowCount() const { return m_cache.size(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Column {
        int position = -1;  // in the table's columns; -1 when the table has no such column
        QString name;
        bool numeric = false;
    };

    const RowCells* FetchRow(size_t viewRow) const;

    const CDumpSession* m_session = nullptr;
    bool m_hasTable = false;
    std::unique_ptr<CTableCursor> m_cursor;
    std::vector<Column> m_columns;
    size_t m_pageStart = 0;
    size_t m_count = 0;
    size_t m_pageSize = 1000;
    // Decoding happens on demand inside data(), which is const to Qt.
    mutable std::map<size_t, RowCells> m_cache;
};
