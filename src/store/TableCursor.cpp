#include "store/TableCursor.h"

#include <algorithm>

#include "dump/RowLimit.h"
#include "store/CopyLine.h"
#include "store/TableData.h"

namespace {

// Reading on from the window fetches a large piece, so paging through rows costs one read
// per megabyte; a jump elsewhere fetches only a little, since the next row asked for may be
// anywhere again.
constexpr size_t kOnwardWindow = size_t{1} << 20;
constexpr size_t kJumpWindow = size_t{64} << 10;

}  // namespace

CTableCursor::CTableCursor(const CTableData& table) : m_table(table) {}

bool CTableCursor::Open() {
    if (m_file.IsOpen()) return true;
    if (!m_table.IsLoaded()) return false;
    return m_file.OpenRead(m_table.GetTempPath(), platform::CFile::AccessHint::Random);
}

bool CTableCursor::RowView(size_t row, const char*& bytes, size_t& length) {
    static const char kEmpty = 0;
    bytes = nullptr;
    length = 0;
    uint64_t start = 0;
    uint64_t rowLength = 0;
    if (!m_table.GetRowExtent(row, start, rowLength) || !Open()) return false;
    // The load refuses such rows; a spool file changed behind our back must not make the
    // window grow without bound.
    if (rowLength > MaxRowBytes()) return false;
    if (rowLength == 0) {
        bytes = &kEmpty;
        return true;
    }
    if (!(m_windowBytes > 0 && start >= m_windowOffset &&
          start + rowLength <= m_windowOffset + m_windowBytes)) {
        const bool onward =
            m_windowBytes > 0 && start >= m_windowOffset && start <= m_windowOffset + m_windowBytes;
        // Stepping back just before the window (paging upwards) reads the piece that ends
        // with the row, so the rows above it come from the same read.
        const bool backward =
            m_windowBytes > 0 && start < m_windowOffset && m_windowOffset - start <= kJumpWindow;
        const size_t size = static_cast<size_t>(
            std::max<uint64_t>(rowLength, onward ? kOnwardWindow : kJumpWindow));
        const uint64_t rowEnd = start + rowLength;
        uint64_t from = start;
        if (backward) from = rowEnd > size ? rowEnd - size : 0;
        if (m_window.size() < size) m_window.resize(size);
        const int64_t n = m_file.ReadAt(from, m_window.data(), size);
        if (n < 0) {
            m_windowBytes = 0;
            return false;
        }
        m_windowOffset = from;
        m_windowBytes = static_cast<uint64_t>(n);
        if (m_windowOffset + m_windowBytes < rowEnd) return false;
    }
    bytes = m_window.data() + (start - m_windowOffset);
    length = static_cast<size_t>(rowLength);
    return true;
}

bool CTableCursor::ReadRowBytes(size_t row, std::string& bytes) {
    bytes.clear();
    const char* view = nullptr;
    size_t length = 0;
    if (!RowView(row, view, length)) return false;
    bytes.assign(view, length);
    return true;
}

const std::vector<CopyField>* CTableCursor::GetRowFields(size_t row) {
    const char* view = nullptr;
    size_t length = 0;
    if (!RowView(row, view, length)) return nullptr;
    SplitCopyLine(view, length, m_fields, m_table.GetCodePage());
    return &m_fields;
}

bool CTableCursor::GetRow(size_t row, RowCells& cells) {
    static const std::vector<bool> kAll;
    return GetRowColumns(row, kAll, cells);
}

bool CTableCursor::GetRowColumns(size_t row, const std::vector<bool>& wanted, RowCells& cells) {
    // Split straight from the read window; the row bytes are not copied first.
    const char* view = nullptr;
    size_t length = 0;
    if (!RowView(row, view, length)) {
        cells.clear();
        return false;
    }
    SplitCopyLineColumns(view, length, m_fields, m_table.GetCodePage(), wanted);
    CopyFieldsToCells(m_fields, m_table.GetColumnCount(), m_table.GetCodePage(), wanted, cells);
    return true;
}
