#pragma once

#include <string>
#include <vector>

// One decoded cell of a row.
struct CellValue {
    bool isNull = false;
    std::u16string text;  // empty when isNull
};

using RowCells = std::vector<CellValue>;

// One field of a COPY line: escapes undone, still in the dump's encoding.
struct CopyField {
    bool isNull = false;
    std::string bytes;
};
