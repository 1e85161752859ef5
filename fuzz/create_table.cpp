// CREATE TABLE statements: columns, types, INHERITS.
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "sql/CreateTableParser.h"
#include "sql/InheritedColumns.h"

KALVEX_FUZZ_TARGET(create_table) {
    const std::string statement(reinterpret_cast<const char*>(data), size);
    std::string schema, name;
    std::vector<ColumnDefinition> columns;
    if (ParseCreateTable(statement, schema, name, columns)) {
        for (const ColumnDefinition& column : columns) {
            ColumnInfo info;
            info.type.assign(column.type.begin(), column.type.end());
            IsNumericType(info);
            IsBooleanType(info);
        }
    }
    std::vector<std::pair<std::string, std::string>> parents;
    ReadInheritedParents(statement, parents);
}
