#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/CsvOptions.h"
#include "platform/OutputFile.h"
#include "store/CellValue.h"
#include "store/SpoolWriter.h"

class CTableData;
class IJobContext;
struct TableEntry;

// The field as it goes into a line: quoted when forced, when every field is quoted, or
// when it holds the delimiter, CR, LF or a double quote.
std::u16string QuoteCsvField(const std::u16string& text, const CsvOptions& options, bool force);

// Writes the chosen rows and columns of the loaded table as CSV, reading through a cursor
// of its own. Once the file has been opened, every failure (a write, a row that cannot be
// read, the cancel) deletes what it wrote, so a partial file never passes for an export; a
// file that was there before stays as it was (platform::COutputFile).
bool WriteCsvFile(const CTableData& data, const TableEntry& table,
                  const std::vector<int32_t>& columns, const std::vector<uint64_t>& rows,
                  const CsvOptions& options, const std::u16string& path, IJobContext* job,
                  uint64_t& rowsWritten, std::u16string& error);

// Writes one CSV file row by row: the byte-order mark and the header on Open, then each row
// either from its COPY fields (UTF-8 rows into a UTF-8 file: no trip through UTF-16) or from
// its cells. What was written but not finished is deleted, so a partial file never passes
// for an export; the file it was to replace stays as it was.
class CCsvFileWriter {
public:
    CCsvFileWriter() = default;
    ~CCsvFileWriter() { Abandon(); }
    CCsvFileWriter(const CCsvFileWriter&) = delete;
    CCsvFileWriter& operator=(const CCsvFileWriter&) = delete;

    // sourceCodePage is the encoding of the rows' fields. A file that cannot be opened is
    // left alone; false with the message in error.
    bool Open(const std::u16string& path, const TableEntry& table,
              const std::vector<int32_t>& columns, const CsvOptions& options, int sourceCodePage,
              std::u16string& error);
    // True when rows are to be given as fields (WriteFields), false for cells (WriteCells).
    bool TakesFields() const { return m_utf8Path; }
    // False once a write has failed.
    bool WriteFields(const std::vector<CopyField>& fields);
    bool WriteCells(const RowCells& cells);
    // Closes the file; on a failed write it is deleted and error says so.
    bool Finish(std::u16string& error);
    // Closes and deletes an unfinished file; what was at the path before stays.
    void Abandon();

private:
    bool Drain(bool force);

    platform::COutputFile m_file;
    // Writes on a thread of its own, so the kernel's copy into the file overlaps with
    // decoding and formatting the next rows.
    CSpoolWriter m_writer;
    bool m_writeOk = false;
    std::u16string m_path;
    std::vector<int32_t> m_columns;
    CsvOptions m_options;
    int m_codePage = 0;
    bool m_utf8Path = false;
    std::string m_nullText;
    std::string m_out;  // rows not yet handed to the sink
    std::u16string m_line;
    std::string m_repaired;
};
