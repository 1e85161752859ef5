#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/CsvOptions.h"

class CTableData;
class IJobContext;
struct TableEntry;

// The field as it goes into a line: quoted when forced, when every field is quoted, or
// when it holds the delimiter, CR, LF or a double quote.
std::u16string QuoteCsvField(const std::u16string& text, const CsvOptions& options, bool force);

// Writes the chosen rows and columns of the loaded table as CSV, reading through a cursor
// of its own. Once the file has been opened, every failure (a write, a row that cannot be
// read, the cancel) deletes it, so a partial file never passes for an export; a file that
// could not be opened is left alone.
bool WriteCsvFile(const CTableData& data, const TableEntry& table,
                  const std::vector<int32_t>& columns, const std::vector<uint64_t>& rows,
                  const CsvOptions& options, const std::u16string& path, IJobContext* job,
                  uint64_t& rowsWritten, std::u16string& error);
