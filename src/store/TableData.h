#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dump/DumpFile.h"
#include "platform/File.h"
#include "store/CellValue.h"
#include "store/SpoolWriter.h"

class IJobContext;

// The rows of one table: the COPY text is spooled unchanged to a temporary file and only
// each row's offset is kept in memory; rows are decoded when asked for.
class CTableData : public IDataSink {
public:
    CTableData() = default;
    ~CTableData() override;
    CTableData(const CTableData&) = delete;
    CTableData& operator=(const CTableData&) = delete;

    bool Load(IDumpFile& dump, const TableEntry& table, IJobContext* job, std::u16string& error);
    bool Write(const char* data, size_t length) override;
    void Reset();

    size_t GetRowCount() const { return m_rowOffsets.size(); }
    size_t GetColumnCount() const { return static_cast<size_t>(m_columnCount); }
    bool ReadRowBytes(size_t row, std::string& bytes);
    bool GetRow(size_t row, RowCells& cells);
    // As GetRow, but only the columns marked in wanted are converted to text; the others
    // read as NULL. For a filter that looks at a few columns of a wide table.
    bool GetRowColumns(size_t row, const std::vector<bool>& wanted, RowCells& cells);
    // The row split into fields, still in the dump's encoding; null when the row cannot be
    // read. Valid until the next call on this store.
    const std::vector<CopyField>* GetRowFields(size_t row);

    const std::u16string& GetTempPath() const { return m_tempPath; }
    int GetCodePage() const { return m_codePage; }

private:
    // The row's bytes inside the read window, valid until the next read.
    bool RowView(size_t row, const char*& bytes, size_t& length);
    void Append(const char* data, size_t length);
    void Flush();

    std::u16string m_tempPath;
    platform::CFile m_writeHandle;
    platform::CFile m_readHandle;
    CSpoolWriter m_spool;  // the write-behind buffers and the thread that writes them
    uint64_t m_bufferedBytes = 0;
    uint64_t m_bytesWritten = 0;
    bool m_writeOk = true;
    std::vector<uint64_t> m_rowOffsets;
    uint64_t m_dataEnd = 0;
    bool m_ended = false;
    bool m_atLineStart = true;
    uint64_t m_lineLength = 0;
    char m_lineHead[2] = {0, 0};
    uint64_t m_lineStart = 0;
    std::vector<char> m_readBuffer;
    uint64_t m_readWindowOffset = 0;
    uint64_t m_readWindowBytes = 0;
    int32_t m_codePage = 65001;
    uint64_t m_columnCount = 0;
    IJobContext* m_job = nullptr;
    uint64_t m_expectedRows = 0;
    // Reused between rows, so decoding a page allocates little.
    std::vector<CopyField> m_fields;
};
