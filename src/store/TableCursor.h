#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/File.h"
#include "store/CellValue.h"

class CTableData;

// Reads rows of a loaded table. Each reader (the grid, every job) makes its own cursor:
// a cursor has its own file handle, read window and field buffer, so any number of them
// read one table at the same time. The table must outlive its cursors and must not be
// loaded or reset while they exist.
class CTableCursor {
public:
    explicit CTableCursor(const CTableData& table);
    CTableCursor(const CTableCursor&) = delete;
    CTableCursor& operator=(const CTableCursor&) = delete;

    const CTableData& GetTable() const { return m_table; }
    // Opens the spool file now; reads open it on first use otherwise. False when the table
    // is not loaded or its file cannot be opened.
    bool Open();

    bool ReadRowBytes(size_t row, std::string& bytes);
    bool GetRow(size_t row, RowCells& cells);
    // As GetRow, but only the columns marked in wanted are converted to text; the others
    // read as NULL.
    bool GetRowColumns(size_t row, const std::vector<bool>& wanted, RowCells& cells);
    // The row split into fields, still in the dump's encoding; null when the row cannot be
    // read. Valid until the next call on this cursor.
    const std::vector<CopyField>* GetRowFields(size_t row);

private:
    // The row's bytes inside the read window, valid until the next read.
    bool RowView(size_t row, const char*& bytes, size_t& length);

    const CTableData& m_table;
    platform::CFile m_file;
    std::vector<char> m_window;
    uint64_t m_windowOffset = 0;
    uint64_t m_windowBytes = 0;  // 0: nothing read yet
    // Reused between rows, so decoding a page allocates little.
    std::vector<CopyField> m_fields;
};
