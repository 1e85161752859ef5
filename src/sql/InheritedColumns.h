#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sql/ColumnInfo.h"

// The parents an INHERITS clause names after the column list of a CREATE TABLE, as
// (schema, name) pairs in the order written; false when the statement has no such clause.
bool ReadInheritedParents(const std::string& createTable,
                          std::vector<std::pair<std::string, std::string>>& parents);

// The columns of a table that inherits, in PostgreSQL's order: the parents' columns first,
// a name given twice only once, then the table's own columns. An own column that a parent
// has merges into it: its type, when written, wins, and NOT NULL from either side stays.
std::vector<ColumnInfo> MergeInheritedColumns(
    const std::vector<const std::vector<ColumnInfo>*>& parents, const std::vector<ColumnInfo>& own);
