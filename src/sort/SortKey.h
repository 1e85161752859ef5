#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "store/CellValue.h"

// One key of a sort: a column of the table and its direction.
struct SortKey {
    size_t column = 0;
    bool descending = false;
};

// How a column's cells order: numbers (non-converting text after every number, by text),
// booleans false before true, or texts by UTF-16 code units.
enum class SortClass { Text, Numeric, Boolean };
SortClass GetSortClass(const ColumnInfo& column);

// Appends the cell's key so that keys compare with memcmp in sort order: every encoding is
// self-delimiting, so keys of several columns can follow each other, and a descending key
// is the ascending one with every byte inverted. NULL sorts last ascending, first
// descending.
void AppendSortKey(const CellValue& cell, SortClass sortClass, bool descending, std::string& out);
