#pragma once

#include <string>

// The statements that belong to one table and are shown with its DDL, told apart by their
// leading keywords (matched case-insensitively, as whole words).
enum TableStatementKind {
    TableStatementKind_None,
    TableStatementKind_AlterTable,  // ALTER TABLE [ONLY] [IF EXISTS] [ONLY] name
    TableStatementKind_Index,       // CREATE [UNIQUE] INDEX ... ON [ONLY] name
    TableStatementKind_Comment,     // COMMENT ON ...: only TABLE and COLUMN name a table
    TableStatementKind_Trigger,     // CREATE TRIGGER ... ON name
};

struct OwningTable {
    TableStatementKind kind = TableStatementKind_None;
    // The name of the owning table could be read.
    bool found = false;
    // Empty when the statement does not say (a column comment written table.column).
    std::string schema;
    std::string name;
};

// The kind of a statement and the table it belongs to. The first " ON " of an index or a
// trigger is taken for the one before the table, as pg_dump writes them. A constraint
// trigger is no trigger here: it is listed, not attached.
OwningTable FindOwningTable(const std::string& statement);

// The same for callers that only want the table: true when the statement names one.
bool FindOwningTable(const std::string& statement, std::string& schema, std::string& name);
