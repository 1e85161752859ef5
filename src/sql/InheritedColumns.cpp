#include "sql/InheritedColumns.h"

#include <unordered_map>

#include "sql/SqlText.h"

bool ReadInheritedParents(const std::string& text,
                          std::vector<std::pair<std::string, std::string>>& parents) {
    parents.clear();
    size_t pos = 0;
    if (!MatchKeyword(text, pos, "CREATE")) return false;
    for (;;) {
        const size_t before = pos;
        bool any = false;
        for (const char* word : {"GLOBAL", "LOCAL", "TEMPORARY", "TEMP", "UNLOGGED", "FOREIGN"}) {
            if (MatchKeyword(text, pos, word)) {
                any = true;
                break;
            }
        }
        if (!any) {
            pos = before;
            break;
        }
    }
    if (!MatchKeyword(text, pos, "TABLE")) return false;
    if (MatchKeyword(text, pos, "IF")) {
        MatchKeyword(text, pos, "NOT");
        MatchKeyword(text, pos, "EXISTS");
    }
    std::string schema, name;
    if (!ReadQualifiedName(text, pos, schema, name)) return false;
    SkipSqlSpace(text, pos);
    if (pos >= text.size() || text[pos] != '(') return false;
    // Past the column list, minding quotes.
    int depth = 0;
    char quote = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            break;
        }
    }
    if (pos >= text.size()) return false;
    ++pos;
    if (!MatchKeyword(text, pos, "INHERITS")) return false;
    SkipSqlSpace(text, pos);
    if (pos >= text.size() || text[pos] != '(') return false;
    ++pos;
    for (;;) {
        if (!ReadQualifiedName(text, pos, schema, name)) return false;
        parents.emplace_back(schema, name);
        SkipSqlSpace(text, pos);
        if (pos < text.size() && text[pos] == ',') {
            ++pos;
            continue;
        }
        return pos < text.size() && text[pos] == ')';
    }
}

std::vector<ColumnInfo> MergeInheritedColumns(
    const std::vector<const std::vector<ColumnInfo>*>& parents,
    const std::vector<ColumnInfo>& own) {
    std::vector<ColumnInfo> merged;
    // Positions by name, so a parent of many columns is not searched once per column.
    std::unordered_map<std::u16string, size_t> positions;
    size_t total = own.size();
    for (const std::vector<ColumnInfo>* parent : parents) total += parent->size();
    merged.reserve(total);
    positions.reserve(total);
    for (const std::vector<ColumnInfo>* parent : parents) {
        for (const ColumnInfo& column : *parent) {
            if (positions.emplace(column.name, merged.size()).second) merged.push_back(column);
        }
    }
    for (const ColumnInfo& column : own) {
        const auto [at, added] = positions.emplace(column.name, merged.size());
        if (added) {
            merged.push_back(column);
            continue;
        }
        ColumnInfo& inherited = merged[at->second];
        if (!column.type.empty()) inherited.type = column.type;
        inherited.notNull = inherited.notNull || column.notNull;
    }
    merged.shrink_to_fit();
    return merged;
}
