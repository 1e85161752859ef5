#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "store/CellValue.h"

// The texts of the row detail window and of a row copied to the clipboard.

struct RowDetailItem {
    std::u16string name;   // "(列N)" for a cell beyond the table's columns
    std::u16string type;   // as written in the dump; empty when unknown
    std::u16string value;  // "(NULL)" for NULL; empty when the row has no such cell
};

// "public.t  行 5"
std::u16string RowDetailHeading(const TableEntry* table, uint64_t rowNumber);

// One item per column or cell, whichever there are more of. table may be null.
std::vector<RowDetailItem> BuildRowDetailItems(const TableEntry* table, const RowCells& cells);

// One "name TAB value CR LF" line per column or cell; a cell beyond the table's columns has
// an empty name. Values are copied unchanged, line breaks included.
std::u16string BuildRowClipboardText(const TableEntry* table, const RowCells& cells);
