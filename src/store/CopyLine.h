#pragma once

#include <cstddef>
#include <vector>

#include "store/CellValue.h"

// Splits one COPY text line (without its line feed) into fields and undoes the
// backslash escapes. Multi-byte code pages whose trail bytes may look like ASCII
// (932, 936, 949, 950, 54936) are stepped over a character at a time.
void SplitCopyLine(const char* data, size_t length, std::vector<CopyField>& fields, int codePage);

// As SplitCopyLine, but only the fields marked in wanted are decoded (an empty wanted marks
// every field): the others read as NULL, and the line is not looked at past the last field
// wanted. Meant for CopyFieldsToCells with the same wanted.
void SplitCopyLineColumns(const char* data, size_t length, std::vector<CopyField>& fields,
                          int codePage, const std::vector<bool>& wanted);

// The cells of a split row as the grid shows them: at least columnCount of them (missing
// fields read as NULL), each field converted from codePage to text. With wanted not empty,
// only the columns it marks are converted; the others read as NULL. cells is reused, so its
// strings keep their capacity.
void CopyFieldsToCells(const std::vector<CopyField>& fields, size_t columnCount, int codePage,
                       const std::vector<bool>& wanted, RowCells& cells);
