#include "dump/DumpModel.h"

#include <utility>

#include "platform/AsciiCase.h"
#include "sql/CreateTableParser.h"
#include "sql/Encoding.h"
#include "sql/SqlText.h"

std::u16string TableEntry::QualifiedName() const {
    return schema.empty() ? name : schema + u"." + name;
}

void TableEntry::SetColumns(const std::vector<ColumnDefinition>& definitions, int codePage) {
    columns.clear();
    columns.reserve(definitions.size());
    for (const ColumnDefinition& definition : definitions) {
        ColumnInfo column;
        column.name = ToWide(definition.name, codePage);
        column.type = ToWide(definition.type, codePage);
        column.notNull = definition.notNull;
        columns.push_back(std::move(column));
    }
}

void TableEntry::ApplyCopyColumns() {
    if (copyColumns.empty()) return;
    if (copyColumns.size() == columns.size()) {
        bool same = true;
        for (size_t i = 0; i < columns.size() && same; ++i)
            same = columns[i].name == copyColumns[i];
        if (same) return;
    }
    std::vector<ColumnInfo> ordered;
    ordered.reserve(copyColumns.size());
    for (const std::u16string& copyName : copyColumns) {
        const ColumnInfo* found = nullptr;
        for (const ColumnInfo& column : columns) {
            if (platform::EqualsIgnoringAsciiCase(column.name, copyName)) {
                found = &column;
                break;
            }
        }
        if (found != nullptr) {
            ordered.push_back(*found);
        } else {
            ColumnInfo extra;
            extra.name = copyName;
            ordered.push_back(std::move(extra));
        }
    }
    columns = std::move(ordered);
}

std::u16string TableCatalogue::MakeKey(const std::u16string& database, const std::u16string& schema,
                                       const std::u16string& name) {
    std::u16string key;
    key.reserve(database.size() + schema.size() + name.size() + 2);
    key += database;
    key += u'\x0001';
    key += schema;
    key += u'\x0001';
    key += name;
    return key;
}

const TableEntry* TableCatalogue::Find(const std::u16string& database, const std::u16string& schema,
                                       const std::u16string& name) const {
    auto it = m_index.find(MakeKey(database, schema, name));
    if (it != m_index.end()) return &m_entries[it->second];
    if (!schema.empty()) return nullptr;
    // A name without schema matches the first table of that name in any schema.
    auto first = m_firstByName.find(MakeKey(database, u"", name));
    return first != m_firstByName.end() ? &m_entries[first->second] : nullptr;
}

TableEntry* TableCatalogue::Find(const std::u16string& database, const std::u16string& schema,
                                 const std::u16string& name) {
    return const_cast<TableEntry*>(std::as_const(*this).Find(database, schema, name));
}

TableEntry& TableCatalogue::FindOrAdd(const std::u16string& database, const std::u16string& schema,
                                      const std::u16string& name) {
    if (TableEntry* found = Find(database, schema, name)) return *found;
    TableEntry entry;
    entry.database = database;
    entry.schema = schema;
    entry.name = name;
    m_entries.push_back(std::move(entry));
    m_index.emplace(MakeKey(database, schema, name), m_entries.size() - 1);
    // Only the first keeps its place: emplace leaves an existing key alone.
    m_firstByName.emplace(MakeKey(database, u"", name), m_entries.size() - 1);
    return m_entries.back();
}

void TableCatalogue::Clear() {
    m_entries.clear();
    m_index.clear();
    m_firstByName.clear();
}

std::u16string TrimDefinition(const std::u16string& text) {
    auto isTrim = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    size_t begin = 0, end = text.size();
    while (begin < end && isTrim(text[begin])) ++begin;
    while (end > begin && isTrim(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::u16string SetvalSequenceName(const std::u16string& statement) {
    const size_t call = statement.find(u"setval(");
    if (call == std::u16string::npos) return {};
    size_t at = call + 7;
    while (at < statement.size() && statement[at] == u' ') ++at;
    if (at >= statement.size() || statement[at] != u'\'') return {};
    std::u16string name;
    for (++at; at < statement.size(); ++at) {
        if (statement[at] == u'\'') {
            if (at + 1 < statement.size() && statement[at + 1] == u'\'') {
                name += u'\'';
                ++at;
                continue;
            }
            return name;
        }
        name += statement[at];
    }
    return {};
}
