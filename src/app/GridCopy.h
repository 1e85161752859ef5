#pragma once

#include <string>
#include <vector>

#include "dump/DumpModel.h"
#include "store/CellValue.h"

// The text Ctrl+C puts on the clipboard for rows of the grid: a line of the column names,
// then one line per row, every cell as the grid shows it (so a TAB or line break inside a
// value is already an arrow), cells separated by TAB, lines ending in CR LF.
// columns are positions in table's columns in the order on screen; a position the table
// or a row does not have gives an empty name or cell.
std::u16string MakeCopiedRowsText(const TableEntry& table, const std::vector<int>& columns,
                                  const std::vector<RowCells>& rows);
