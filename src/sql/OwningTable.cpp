#include "sql/OwningTable.h"

#include "sql/SqlText.h"

namespace {

// The words, each a whole word, from pos on; pos ends after the last.
bool LeadsWith(const std::string& text, size_t& pos, const char* first, const char* second) {
    return MatchKeyword(text, pos, first) && MatchKeyword(text, pos, second);
}

// After the first " ON ": [ONLY] name.
bool ReadNameAfterOn(const std::string& text, bool skipOnly, OwningTable& result) {
    size_t pos = FindNoCase(text, " ON ");
    if (pos == std::string::npos) return false;
    pos += 4;
    if (skipOnly) MatchKeyword(text, pos, "ONLY");
    return ReadQualifiedName(text, pos, result.schema, result.name);
}

// COMMENT ON COLUMN [[database.]schema.]table.column: identifiers joined by full stops
// with no space before a full stop.
bool ReadColumnOwner(const std::string& text, size_t pos, OwningTable& result) {
    std::string parts[4];
    size_t count = 0;
    while (count < 4 && ReadIdentifier(text, pos, parts[count])) {
        ++count;
        if (pos >= text.size() || text[pos] != '.') break;
        ++pos;
    }
    switch (count) {
        case 2:
            result.schema.clear();
            result.name = parts[0];
            return true;
        case 3:
            result.schema = parts[0];
            result.name = parts[1];
            return true;
        case 4:
            // The database part names nothing we keep, as in ReadQualifiedName.
            result.schema = parts[1];
            result.name = parts[2];
            return true;
        default:
            return false;
    }
}

}  // namespace

OwningTable FindOwningTable(const std::string& statement) {
    OwningTable result;
    size_t pos = 0;
    if (LeadsWith(statement, pos, "ALTER", "TABLE")) {
        result.kind = TableStatementKind_AlterTable;
        MatchKeyword(statement, pos, "ONLY");
        MatchKeyword(statement, pos, "IF");
        MatchKeyword(statement, pos, "EXISTS");
        // PostgreSQL's own order is IF EXISTS ONLY.
        MatchKeyword(statement, pos, "ONLY");
        result.found = ReadQualifiedName(statement, pos, result.schema, result.name);
        return result;
    }
    pos = 0;
    if (LeadsWith(statement, pos, "COMMENT", "ON")) {
        result.kind = TableStatementKind_Comment;
        const size_t afterOn = pos;
        if (MatchKeyword(statement, pos, "TABLE")) {
            result.found = ReadQualifiedName(statement, pos, result.schema, result.name);
            return result;
        }
        pos = afterOn;
        if (MatchKeyword(statement, pos, "COLUMN")) {
            result.found = ReadColumnOwner(statement, pos, result);
        }
        return result;
    }
    pos = 0;
    if (!MatchKeyword(statement, pos, "CREATE")) return result;
    const size_t afterCreate = pos;
    if (MatchKeyword(statement, pos, "INDEX") ||
        (MatchKeyword(statement, pos, "UNIQUE") && MatchKeyword(statement, pos, "INDEX"))) {
        result.kind = TableStatementKind_Index;
        result.found = ReadNameAfterOn(statement, true, result);
        return result;
    }
    pos = afterCreate;
    if (MatchKeyword(statement, pos, "TRIGGER")) {
        result.kind = TableStatementKind_Trigger;
        result.found = ReadNameAfterOn(statement, false, result);
    }
    return result;
}

bool FindOwningTable(const std::string& statement, std::string& schema, std::string& name) {
    OwningTable owner = FindOwningTable(statement);
    if (!owner.found) return false;
    schema = std::move(owner.schema);
    name = std::move(owner.name);
    return true;
}
