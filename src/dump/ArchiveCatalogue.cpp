// Turning the table of contents into tables, their DDL and the list of schema objects.
#include <algorithm>

#include "dump/ArchiveDump.h"
#include "sql/CreateTableParser.h"
#include "sql/Encoding.h"
#include "sql/InheritedColumns.h"
#include "sql/OwningTable.h"
#include "sql/SqlText.h"

namespace {

bool IsIgnoredKind(const std::string& desc) {
    static const char* const kIgnored[] = {"ENCODING", "STDSTRINGS",    "SEARCHPATH",  "BLOBS",
                                           "BLOB",     "BLOB METADATA", "SEQUENCE SET"};
    return std::any_of(std::begin(kIgnored), std::end(kIgnored),
                       [&](const char* kind) { return desc == kind; });
}

// Statements that belong to one table and are shown with its DDL.
bool IsAttachableKind(const std::string& desc) {
    static const char* const kAttachable[] = {"CONSTRAINT",   "FK CONSTRAINT", "CHECK CONSTRAINT",
                                              "INDEX",        "COMMENT",       "TRIGGER",
                                              "TABLE ATTACH", "DEFAULT",       "INDEX ATTACH"};
    return std::any_of(std::begin(kAttachable), std::end(kAttachable),
                       [&](const char* kind) { return desc == kind; });
}

// The column list of a COPY statement, when the statement has one.
bool ParseCopyColumns(const std::string& copyStmt, std::vector<std::string>& names) {
    size_t pos = 0;
    if (!MatchKeyword(copyStmt, pos, "COPY")) return false;
    std::string schema, table;
    if (!ReadQualifiedName(copyStmt, pos, schema, table)) return false;
    return ReadColumnList(copyStmt, pos, names);
}

}  // namespace

void CArchiveDump::BuildCatalogue() {
    m_tables.Clear();
    m_ddlObjects.clear();
    m_sequenceValues.clear();
    const int cp = m_codePage;

    for (const TocEntry& e : m_toc) {
        if (e.desc != "TABLE") continue;
        TableEntry& table = m_tables.FindOrAdd(u"", ToWide(e.schema, cp), ToWide(e.tag, cp));
        std::string schema, name;
        std::vector<ColumnDefinition> columns;
        if (ParseCreateTable(e.defn, schema, name, columns) && !columns.empty()) {
            table.SetColumns(columns, cp);
        }
        table.ddl = TrimDefinition(ToWide(e.defn, cp)) + u"\r\n";
    }
    InheritColumns();

    for (const TocEntry& e : m_toc) {
        if (e.desc == "TABLE DATA") {
            TableEntry& table = m_tables.FindOrAdd(u"", ToWide(e.schema, cp), ToWide(e.tag, cp));
            table.dumpId = e.dumpId;
            table.dataKind = TableDataKind_Copy;
            if (m_isDirectory) {
                table.dataFile = Utf8ToWide(e.fileName);
            } else if (e.dataState == 2) {
                table.dataOffset = e.dataOffset;
            }
            std::vector<std::string> names;
            if (ParseCopyColumns(e.copyStmt, names)) {
                table.copyColumns.clear();
                for (const std::string& n : names) table.copyColumns.push_back(ToWide(n, cp));
                table.ApplyCopyColumns();
            }
            continue;
        }
        if (e.desc == "SEQUENCE SET" && !e.defn.empty()) {
            DdlObject value;
            value.objectType = u"SEQUENCE SET";
            value.definition = TrimDefinition(ToWide(e.defn, cp));
            value.name = SetvalSequenceName(value.definition);
            m_sequenceValues.push_back(std::move(value));
            continue;
        }
        if (IsIgnoredKind(e.desc) || e.defn.empty()) continue;

        DdlObject object;
        object.objectType = Utf8ToWide(e.desc);
        object.schema = ToWide(e.schema, cp);
        object.name = ToWide(e.tag, cp);
        object.definition = TrimDefinition(ToWide(e.defn, cp));
        const std::u16string definition = object.definition;
        m_ddlObjects.push_back(std::move(object));

        if (!IsAttachableKind(e.desc)) continue;
        std::string ownerSchema, ownerName;
        if (!FindOwningTable(e.defn, ownerSchema, ownerName)) continue;
        const std::u16string wideName = ToWide(ownerName, cp);
        TableEntry* table = m_tables.Find(u"", ToWide(ownerSchema, cp), wideName);
        if (table == nullptr && !e.schema.empty()) {
            table = m_tables.Find(u"", ToWide(e.schema, cp), wideName);
        }
        if (table != nullptr) table->ddl += u"\r\n" + definition + u"\r\n";
    }

    for (TableEntry& table : m_tables.Entries()) {
        if (table.columns.empty() && !table.copyColumns.empty()) table.ApplyCopyColumns();
    }
}

void CArchiveDump::InheritColumns() {
    const int cp = m_codePage;
    // pg_dump writes a parent before its children, so a parent's own inherited columns are
    // in place by the time a child takes them.
    for (const TocEntry& e : m_toc) {
        if (e.desc != "TABLE") continue;
        std::vector<std::pair<std::string, std::string>> parents;
        if (!ReadInheritedParents(e.defn, parents)) continue;
        std::vector<const std::vector<ColumnInfo>*> parentColumns;
        for (const auto& [schema, name] : parents) {
            const TableEntry* parent = m_tables.Find(
                u"", ToWide(schema.empty() ? e.schema : schema, cp), ToWide(name, cp));
            // A parent outside the archive: its columns are unknown, keep what was written.
            if (parent == nullptr) break;
            parentColumns.push_back(&parent->columns);
        }
        if (parentColumns.size() != parents.size()) continue;
        TableEntry* table = m_tables.Find(u"", ToWide(e.schema, cp), ToWide(e.tag, cp));
        if (table != nullptr) table->columns = MergeInheritedColumns(parentColumns, table->columns);
    }
}
