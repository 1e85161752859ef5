#include "ui/GridModel.h"

#include "app/AppText.h"
#include "app/DumpSession.h"
#include "app/WindowText.h"
#include "sql/CreateTableParser.h"
#include "store/TableCursor.h"
#include "store/TableData.h"
#include "ui/QtText.h"

CGridModel::CGridModel(QObject* parent) : QAbstractTableModel(parent) {}

CGridModel::~CGridModel() = default;

void CGridModel::Attach(const CDumpSession* session) {
    beginResetModel();
    m_cache.clear();
    m_cursor.reset();
    m_session = session;
    m_count = 0;
    m_pageStart = 0;
    if (session != nullptr && session->GetTableData() != nullptr) {
        m_cursor = std::make_unique<CTableCursor>(*session->GetTableData());
    }
    endResetModel();
}

void CGridModel::Detach() {
    beginResetModel();
    m_cache.clear();
    m_cursor.reset();
    m_session = nullptr;
    m_count = 0;
    m_pageStart = 0;
    endResetModel();
}

void CGridModel::SetColumns(const TableEntry* table, const std::vector<int>& visibleColumns) {
    beginResetModel();
    m_columns.clear();
    m_hasTable = table != nullptr;
    if (table != nullptr) {
        for (int position : visibleColumns) {
            Column column;
            if (position >= 0 && static_cast<size_t>(position) < table->columns.size()) {
                const ColumnInfo& info = table->columns[static_cast<size_t>(position)];
                column.position = position;
                column.name = ToQString(info.name);
                column.numeric = IsNumericType(info);
            }
            m_columns.push_back(column);
        }
    }
    endResetModel();
}

void CGridModel::SetPage(size_t pageStart, size_t count, size_t pageSize) {
    beginResetModel();
    m_cache.clear();
    m_pageStart = pageStart;
    m_count = m_cursor ? count : 0;
    m_pageSize = pageSize;
    endResetModel();
}

void CGridModel::ClearCache() {
    m_cache.clear();
}

const RowCells* CGridModel::GetViewRow(size_t viewRow) {
    return FetchRow(viewRow);
}

const RowCells* CGridModel::FetchRow(size_t viewRow) const {
    auto found = m_cache.find(viewRow);
    if (found != m_cache.end()) return &found->second;
    if (!m_cursor || m_session == nullptr || viewRow >= m_session->GetViewRowCount()) {
        return nullptr;
    }
    // Bounded to about two pages, so paging back and forth never grows it without end.
    if (m_cache.size() > 2 * m_pageSize + 100) m_cache.clear();
    RowCells& cells = m_cache[viewRow];
    if (!m_cursor->GetRow(m_session->GetViewRow(viewRow), cells)) cells.clear();
    return &cells;
}

bool CGridModel::ReadRow(size_t tableRow, RowCells& cells) {
    return m_cursor && m_cursor->GetRow(tableRow, cells);
}

int CGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_count);
}

int CGridModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_hasTable) return 0;
    return static_cast<int>(m_columns.size()) + 1;
}

QVariant CGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    const int column = index.column();
    if (role == Qt::TextAlignmentRole) {
        const bool right = column == 0 || (column <= static_cast<int>(m_columns.size()) &&
                                           m_columns[static_cast<size_t>(column - 1)].numeric);
        return static_cast<int>(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole) return QVariant();
    const size_t viewRow = m_pageStart + static_cast<size_t>(index.row());
    if (!m_cursor || m_session == nullptr || viewRow >= m_session->GetViewRowCount()) {
        return QString();
    }
    if (column == 0) return ToQString(FormatThousands(m_session->GetViewRow(viewRow) + 1));
    if (column > static_cast<int>(m_columns.size())) return QString();
    const int position = m_columns[static_cast<size_t>(column - 1)].position;
    const RowCells* cells = FetchRow(viewRow);
    if (cells == nullptr || position < 0 || static_cast<size_t>(position) >= cells->size()) {
        return QString();
    }
    return ToQString(FormatCellText((*cells)[static_cast<size_t>(position)]));
}

QVariant CGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QVariant();
    if (role == Qt::TextAlignmentRole) {
        const bool right = section == 0 || (section <= static_cast<int>(m_columns.size()) &&
                                            m_columns[static_cast<size_t>(section - 1)].numeric);
        return static_cast<int>(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole) return QVariant();
    if (section == 0) return QStringLiteral("#");
    if (section > static_cast<int>(m_columns.size())) return QVariant();
    return m_columns[static_cast<size_t>(section - 1)].name;
}
