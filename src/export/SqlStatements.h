#pragma once

#include <string>
#include <vector>

// Where a DDL statement goes in a restore script, as pg_dump orders its sections.
enum class SqlStatementKind {
    PreData,       // needed before the rows: schemas, types, functions, tables, defaults
    PostData,      // built on the rows: indexes, keys, triggers, rules, view refreshes
    Owner,         // ALTER ... OWNER TO
    Privilege,     // GRANT, REVOKE
    Unrestorable,  // database-level and large-object statements a table script cannot run
};

// Cuts DDL text into statements at the semicolons outside quotes, dollar quotes and
// comments. Each statement keeps its text up to and including the semicolon, trimmed; a
// trailing piece without a semicolon is a statement too.
std::vector<std::u16string> SplitSqlStatements(const std::u16string& text);

SqlStatementKind ClassifySqlStatement(const std::u16string& statement);

// The text of the table a FOREIGN KEY statement references ("schema.name" as written);
// empty when the statement has no REFERENCES.
std::u16string ReferencedTable(const std::u16string& statement);

// The quoted "schema"."name" (every identifier quoted, so any name is safe).
std::u16string QuoteSqlIdentifier(const std::u16string& name);
