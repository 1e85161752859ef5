#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dump/DumpFile.h"
#include "platform/File.h"
#include "store/CellValue.h"
#include "store/RowOffsets.h"
#include "store/SpoolWriter.h"

class CTableCursor;
class IJobContext;

// The rows of one table: the COPY text is spooled unchanged to a temporary file and only
// each row's offset is kept in memory. Once loaded the table does not change until the
// next Load or Reset, so any number of cursors (store/TableCursor.h) read it at once, each
// on its own thread; the table itself holds no read state.
class CTableData : public IDataSink {
public:
    CTableData();
    ~CTableData() override;
    CTableData(const CTableData&) = delete;
    CTableData& operator=(const CTableData&) = delete;

    // Loading and resetting happen while no cursor of this table exists.
    bool Load(IDumpFile& dump, const TableEntry& table, IJobContext* job, std::u16string& error);
    bool Write(const char* data, size_t length) override;
    void Reset();

    bool IsLoaded() const { return m_loaded; }
    size_t GetRowCount() const { return m_rowOffsets.size(); }
    size_t GetColumnCount() const { return static_cast<size_t>(m_columnCount); }
    const std::u16string& GetTempPath() const { return m_tempPath; }
    int GetCodePage() const { return m_codePage; }
    // Where row's bytes lie in the spool file, without the line feed. False for a row out of
    // range or a table that is not loaded.
    bool GetRowExtent(size_t row, uint64_t& start, uint64_t& length) const;

    // Shorthands over a cursor the table keeps for its owner: for the owner's thread only
    // (tests, tools). Every reader that may run beside another makes its own cursor.
    bool ReadRowBytes(size_t row, std::string& bytes);
    bool GetRow(size_t row, RowCells& cells);
    bool GetRowColumns(size_t row, const std::vector<bool>& wanted, RowCells& cells);
    const std::vector<CopyField>* GetRowFields(size_t row);

private:
    CTableCursor& OwnerCursor();
    void Append(const char* data, size_t length);
    void Flush();

    std::u16string m_tempPath;
    platform::CFile m_writeHandle;
    CSpoolWriter m_spool;  // the write-behind buffers and the thread that writes them
    uint64_t m_bufferedBytes = 0;
    uint64_t m_bytesWritten = 0;
    bool m_writeOk = true;
    bool m_rowTooLong = false;
    uint64_t m_rowLimit = 0;
    bool m_loaded = false;
    CRowOffsets m_rowOffsets;
    uint64_t m_dataEnd = 0;
    bool m_ended = false;
    bool m_atLineStart = true;
    uint64_t m_lineLength = 0;
    char m_lineHead[2] = {0, 0};
    uint64_t m_lineStart = 0;
    int32_t m_codePage = 65001;
    uint64_t m_columnCount = 0;
    IJobContext* m_job = nullptr;
    uint64_t m_expectedRows = 0;
    std::unique_ptr<CTableCursor> m_ownerCursor;
};
