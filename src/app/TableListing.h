#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dump/DumpModel.h"

// What the database box and the table list of the main window hold for an open dump.

// The database box's item for the tables dumped outside any database.
inline constexpr const char16_t* kGlobalDatabaseItem = u"(global)";

struct DatabaseChoice {
    std::vector<std::u16string> items;
    size_t selected = 0;
};
// A whole cluster lists its databases (and "(global)" when some table has none) and starts
// on the first database that has a table; one database is a single item, "-" when unnamed.
DatabaseChoice MakeDatabaseChoice(const DumpInfo& info, const std::vector<TableEntry>& tables);

struct TableListItem {
    size_t position = 0;  // in the dump's table catalogue
    std::u16string name;
    std::u16string rows;  // "?" when the count is not known
    std::u16string columns;
};
// The tables of database (a whole cluster only; "(global)" stands for no database) whose
// qualified name holds nameFilter, ignoring the case of ASCII letters.
std::vector<TableListItem> MakeTableListItems(const DumpInfo& info,
                                              const std::vector<TableEntry>& tables,
                                              const std::u16string& database,
                                              const std::u16string& nameFilter);
