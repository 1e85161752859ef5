#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One line of tests/fixtures/expected/dumps.tsv: a dump made by pg_dump or pg_dumpall.
struct FixtureDump {
    std::string file;         // under tests/fixtures/dumps/
    std::string database;     // or "cluster" for pg_dumpall
    std::string format;       // custom, directory, plain, tar
    std::string compression;  // none, gzip
    std::string encoding;     // as the dump states it
    std::string content;      // all, schema, data
    std::string rows;         // copy, inserts, column-inserts, inserts-3, none
};

std::vector<FixtureDump> LoadFixtureDumps();
// The dumps PostgreSQL 18's tools wrote (expected/pg18/dumps.tsv); file names carry their
// folder, "pg18/".
std::vector<FixtureDump> LoadPg18FixtureDumps();

// tests/fixtures/expected/<database>/tables.tsv and columns.tsv, as psql saw the tables.
struct ExpectedColumn {
    std::string name;
    std::string type;
    bool notNull = false;
    bool generated = false;  // stored generated: in no COPY list
};

struct ExpectedTable {
    std::string schema;
    std::string name;
    uint64_t rows = 0;
    std::string file;  // base name of the .copy and .cells files
    std::string kind;  // table, unlogged, inherits, partition, matview
    std::vector<ExpectedColumn> columns;

    std::string QualifiedName() const { return schema + "." + name; }
    // The exact COPY text the dumps store; sjis selects the Shift_JIS variant.
    std::string CopyText(const std::string& database, bool sjis = false) const;
    // One vector per row; a NULL cell is std::nullopt, other cells are UTF-8.
    std::vector<std::vector<std::optional<std::string>>> Cells(const std::string& database) const;
};

std::vector<ExpectedTable> LoadExpectedTables(const std::string& database);
// Splits a line at TAB.
std::vector<std::string> SplitTabs(const std::string& line);
