#include "app/TableListing.h"

#include "app/AppText.h"
#include "platform/AsciiCase.h"
#include "platform/WideChar.h"

DatabaseChoice MakeDatabaseChoice(const DumpInfo& info, const std::vector<TableEntry>& tables) {
    DatabaseChoice choice;
    if (!info.isCluster) {
        choice.items.push_back(info.database.empty() ? u"-" : info.database);
        return choice;
    }
    choice.items = info.databases;
    for (const TableEntry& table : tables) {
        if (table.database.empty()) {
            choice.items.push_back(kGlobalDatabaseItem);
            break;
        }
    }
    // "(global)" never qualifies here: its tables have an empty database.
    for (size_t i = 0; i < choice.items.size(); ++i) {
        for (const TableEntry& table : tables) {
            if (!table.database.empty() && table.database == choice.items[i]) {
                choice.selected = i;
                return choice;
            }
        }
    }
    return choice;
}

std::vector<TableListItem> MakeTableListItems(const DumpInfo& info,
                                              const std::vector<TableEntry>& tables,
                                              const std::u16string& database,
                                              const std::u16string& nameFilter) {
    const std::u16string filter = platform::ToLowerAscii(nameFilter);
    const std::u16string wanted = database == kGlobalDatabaseItem ? std::u16string() : database;
    std::vector<TableListItem> items;
    for (size_t i = 0; i < tables.size(); ++i) {
        const TableEntry& table = tables[i];
        if (info.isCluster && table.database != wanted) continue;
        std::u16string name = table.QualifiedName();
        if (!filter.empty() && platform::ToLowerAscii(name).find(filter) == std::u16string::npos)
            continue;
        TableListItem item;
        item.position = i;
        item.name = std::move(name);
        item.rows = table.rowCountKnown ? FormatThousands(table.rowCount) : u"?";
        item.columns = platform::FormatDecimal(static_cast<int64_t>(table.columns.size()));
        items.push_back(std::move(item));
    }
    return items;
}
