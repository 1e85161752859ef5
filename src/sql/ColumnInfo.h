#pragma once

#include <string>

// One column of a table as the viewer shows it.
struct ColumnInfo {
    std::u16string name;
    // As written in the column definition; empty when only a COPY column list named it.
    std::u16string type;
    bool notNull = false;
};
