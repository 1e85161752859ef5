#pragma once

#include <cstdint>
#include <string>

#include "export/SqlWriter.h"

class CRowFilter;
struct TableEntry;

// The row test of a SQL script for the rows a keyword and WHERE condition keep. The filter
// must outlive the test; an empty filter keeps every row.
SqlRowTest MakeFilterRowTest(CRowFilter& filter, const TableEntry& table, int codePage);

// "SQL出力が終了しました(1,234 行)。" and the path on the next line.
std::u16string MakeSqlFinishedMessage(uint64_t rowsWritten, const std::u16string& path);
