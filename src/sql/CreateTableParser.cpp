#include "sql/CreateTableParser.h"

#include <initializer_list>
#include <string_view>

#include "platform/AsciiCase.h"
#include "sql/SqlText.h"

namespace {

bool IsOneOf(const std::string& word, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (word == w) return true;
    }
    return false;
}

// Finds the ')' that closes the '(' at open; npos when the statement ends first.
size_t FindClosingParen(const std::string& text, size_t open) {
    int depth = 0;
    SqlQuoteTracker quotes;
    for (size_t i = open; i < text.size(); ++i) {
        const char c = text[i];
        if (!quotes.Unquoted(c)) continue;
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) return i;
        }
    }
    return std::string::npos;
}

// Where the type of a column ends: the first column-constraint keyword at the top level,
// or the end of the element. Words in parentheses or quotes belong to the type.
size_t FindTypeEnd(const std::string& element, size_t from) {
    int depth = 0;
    SqlQuoteTracker quotes;
    for (size_t i = from; i < element.size(); ++i) {
        const char c = element[i];
        if (!quotes.Unquoted(c)) continue;
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (depth == 0 && IsSqlWordChar(static_cast<unsigned char>(c)) &&
                   (i == 0 || !IsSqlWordChar(static_cast<unsigned char>(element[i - 1])))) {
            std::string word = ReadWordUpper(element, i);
            if (IsOneOf(word,
                        {"NOT", "NULL", "DEFAULT", "GENERATED", "COLLATE", "CONSTRAINT", "CHECK",
                         "REFERENCES", "PRIMARY", "UNIQUE", "STORAGE", "COMPRESSION", "OPTIONS"})) {
                return i;
            }
        }
    }
    return element.size();
}

bool ParseColumnElement(const std::string& element, ColumnDefinition& column) {
    if (element.empty()) return false;
    if (element[0] != '"') {
        std::string first = ReadWordUpper(element, 0);
        if (IsOneOf(first,
                    {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN", "EXCLUDE", "LIKE"})) {
            return false;
        }
    }
    size_t pos = 0;
    if (!ReadIdentifier(element, pos, column.name)) return false;
    size_t typeEnd = FindTypeEnd(element, pos);
    column.type = TrimSql(element.substr(pos, typeEnd - pos));
    column.notNull =
        platform::ToUpperAscii(element.substr(typeEnd)).find("NOT NULL") != std::string::npos;
    return true;
}

}  // namespace

bool ParseCreateTable(const std::string& statement, std::string& schema, std::string& name,
                      std::vector<ColumnDefinition>& columns) {
    columns.clear();
    size_t pos = 0;
    if (!MatchKeyword(statement, pos, "CREATE")) return false;
    for (;;) {
        if (MatchKeyword(statement, pos, "GLOBAL") || MatchKeyword(statement, pos, "LOCAL") ||
            MatchKeyword(statement, pos, "TEMPORARY") || MatchKeyword(statement, pos, "TEMP") ||
            MatchKeyword(statement, pos, "UNLOGGED") || MatchKeyword(statement, pos, "FOREIGN")) {
            continue;
        }
        break;
    }
    if (!MatchKeyword(statement, pos, "TABLE")) return false;
    if (MatchKeyword(statement, pos, "IF")) {
        MatchKeyword(statement, pos, "NOT");
        MatchKeyword(statement, pos, "EXISTS");
    }
    if (!ReadQualifiedName(statement, pos, schema, name)) return false;
    SkipSqlSpace(statement, pos);
    // PARTITION OF, OF type and AS SELECT carry no column list of their own.
    if (pos >= statement.size() || statement[pos] != '(') return true;
    size_t close = FindClosingParen(statement, pos);
    if (close == std::string::npos) return false;

    std::vector<std::string> elements;
    SplitTopLevel(statement.substr(pos + 1, close - pos - 1), elements);
    for (const std::string& element : elements) {
        ColumnDefinition column;
        if (ParseColumnElement(element, column)) columns.push_back(std::move(column));
    }
    return true;
}

bool IsNumericType(const ColumnInfo& column) {
    static const char16_t* const kNames[] = {
        u"integer", u"int",       u"int2",        u"int4",  u"int8",  u"smallint",
        u"bigint",  u"numeric",   u"decimal",     u"real",  u"float", u"double precision",
        u"serial",  u"bigserial", u"smallserial", u"money", u"oid"};
    std::u16string type = platform::ToLowerAscii(column.type);
    // Arrays of numbers are shown as text, never right-aligned.
    if (type.find(u'[') != std::u16string::npos) return false;
    for (const char16_t* name : kNames) {
        std::u16string_view n(name);
        if (type.compare(0, n.size(), n) != 0) continue;
        if (type.size() == n.size() || type[n.size()] == u'(' || type[n.size()] == u' ') {
            return true;
        }
    }
    return false;
}

bool IsBooleanType(const ColumnInfo& column) {
    std::u16string type = platform::ToLowerAscii(column.type);
    return type == u"boolean" || type == u"bool";
}
