#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dump/DumpFile.h"
#include "store/CellValue.h"

class CRowFilter;
class IJobContext;

// One row of a table as it comes from the dump: its COPY fields and, asked for, its cells
// as the row store would give them.
class CStreamRow {
public:
    CStreamRow(size_t columnCount, int codePage)
        : m_columnCount(columnCount), m_codePage(codePage) {}

    // 0-based position of the row in the table.
    uint64_t Index() const { return m_index; }
    int CodePage() const { return m_codePage; }
    const std::vector<CopyField>& Fields() const { return m_fields; }
    // Every cell converted to text (CTableCursor::GetRow's cells for this row).
    const RowCells& Cells();

private:
    friend class CRowStreamSink;

    size_t m_columnCount;
    int m_codePage;
    uint64_t m_index = 0;
    std::vector<CopyField> m_fields;
    RowCells m_cells;
    bool m_cellsComplete = false;
};

// What the receiver of a matching row wants next.
enum class RowStreamStep {
    Next,  // go on with the next row
    Stop,  // enough: stop reading the dump, successfully
    Fail,  // stop with the message the receiver put in error
};

using RowStreamReceiver = std::function<RowStreamStep(CStreamRow& row, std::u16string& error)>;

// Reads the table's data from the dump and hands every row that the filter lets through
// (every row when filter is null) to receive as it arrives, without keeping the table. The
// reader is told to stop as soon as receive says Stop, so the rest of the data is never read
// or checked. job may be null; otherwise it is polled for the cancel and told the progress.
// False with the message in error when the dump cannot be read, the condition cannot be
// evaluated, the receiver fails or the job is cancelled.
bool StreamTableRows(IDumpFile& dump, const TableEntry& table, CRowFilter* filter, IJobContext* job,
                     const RowStreamReceiver& receive, std::u16string& error);
