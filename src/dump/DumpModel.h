#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sql/ColumnInfo.h"

struct ColumnDefinition;

// The dump-level properties.
struct DumpInfo {
    std::u16string formatName;  // "Custom", "Directory", "Plain SQL", "Plain SQL (gzip)"
    std::u16string database;
    std::u16string serverVersion;
    std::u16string dumpVersion;
    std::u16string encoding;  // PostgreSQL encoding name as the dump writes it
    int32_t codePage = 65001;
    std::u16string createdAt;               // "YYYY/MM/DD hh:mm:ss"
    std::u16string compression;             // "none", "gzip", "lz4", "zstd", "unknown(N)"
    std::vector<std::u16string> databases;  // whole-cluster scripts, first appearance order
    bool isCluster = false;
};

enum TableDataKind : int32_t {
    TableDataKind_None = 0,
    TableDataKind_Copy = 1,
    TableDataKind_Insert = 2,
};

struct TableEntry {
    std::u16string database;
    std::u16string schema;
    std::u16string name;
    std::vector<ColumnInfo> columns;
    std::vector<std::u16string> copyColumns;
    uint64_t rowCount = 0;
    bool rowCountKnown = false;
    std::u16string ddl;
    int32_t dataKind = TableDataKind_None;
    int64_t dataOffset = 0;
    int64_t dataEnd = 0;
    int32_t dumpId = 0;
    std::u16string dataFile;
    // The code page of this table's text when it differs from the dump's: a whole-cluster
    // script switches encoding per database. 0 means the dump's code page.
    int32_t codePage = 0;
    // The data runs into the end of the file without the end line that closes it: the
    // script was cut inside the table's COPY section.
    bool dataCut = false;

    std::u16string QualifiedName() const;
    void SetColumns(const std::vector<ColumnDefinition>& definitions, int codePage);
    // Makes the columns follow the COPY statement's column list.
    void ApplyCopyColumns();
};

// One schema object with its SQL definition.
struct DdlObject {
    std::u16string database;
    std::u16string objectType;
    std::u16string schema;
    std::u16string name;
    std::u16string definition;
};

// The tables in the order they were first added, with an index by
// database/schema/name. Positions never change once an entry is added.
class TableCatalogue {
public:
    TableEntry* Find(const std::u16string& database, const std::u16string& schema,
                     const std::u16string& name);
    const TableEntry* Find(const std::u16string& database, const std::u16string& schema,
                           const std::u16string& name) const;
    TableEntry& FindOrAdd(const std::u16string& database, const std::u16string& schema,
                          const std::u16string& name);
    void Clear();

    std::vector<TableEntry>& Entries() { return m_entries; }
    const std::vector<TableEntry>& Entries() const { return m_entries; }

private:
    static std::u16string MakeKey(const std::u16string& database, const std::u16string& schema,
                                  const std::u16string& name);
    std::vector<TableEntry> m_entries;
    std::map<std::u16string, size_t> m_index;
    // database/name to the first table of that name in any schema, for names without one.
    std::map<std::u16string, size_t> m_firstByName;
};

// The sequence a "SELECT pg_catalog.setval('name', ...)" statement sets, as its literal
// spells it (quotes of the name included); empty when the text is no such call.
std::u16string SetvalSequenceName(const std::u16string& statement);

// Trims spaces, tabs, CRs and LFs from both ends (DDL definitions).
std::u16string TrimDefinition(const std::u16string& text);
