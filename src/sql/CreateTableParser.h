#pragma once

#include <string>
#include <vector>

#include "sql/ColumnInfo.h"

// One column of a CREATE TABLE statement.
struct ColumnDefinition {
    std::string name;
    std::string type;
    bool notNull = false;
};

bool ParseCreateTable(const std::string& statement, std::string& schema, std::string& name,
                      std::vector<ColumnDefinition>& columns);

bool IsNumericType(const ColumnInfo& column);
bool IsBooleanType(const ColumnInfo& column);
