#include "sql/SqlText.h"

#include <cstring>

#include "platform/AsciiCase.h"

using platform::ToUpperAscii;

bool IsSqlSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsSqlWordChar(unsigned char c) {
    // Bytes from 0x80 on start or continue a multibyte character, so non-ASCII names read
    // as words. A Shift_JIS trail byte below 0x80 (0x5C in 表) still ends the word, which
    // is harmless because pg_dump always quotes non-ASCII names.
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c >= 0x80;
}

void SkipSqlSpace(const std::string& text, size_t& pos) {
    while (pos < text.size() && IsSqlSpace(static_cast<unsigned char>(text[pos]))) ++pos;
}

bool MatchKeyword(const std::string& text, size_t& pos, const char* keyword) {
    SkipSqlSpace(text, pos);
    size_t i = pos;
    for (const char* k = keyword; *k != '\0'; ++k, ++i) {
        if (i >= text.size() || ToUpperAscii(text[i]) != ToUpperAscii(*k)) return false;
    }
    if (i < text.size() && IsSqlWordChar(static_cast<unsigned char>(text[i]))) return false;
    pos = i;
    return true;
}

std::string ReadWordUpper(const std::string& text, size_t from) {
    size_t pos = from;
    SkipSqlSpace(text, pos);
    std::string word;
    while (pos < text.size() && IsSqlWordChar(static_cast<unsigned char>(text[pos]))) {
        word += ToUpperAscii(text[pos]);
        ++pos;
    }
    return word;
}

bool ReadIdentifier(const std::string& text, size_t& pos, std::string& out) {
    out.clear();
    SkipSqlSpace(text, pos);
    if (pos >= text.size()) return false;
    if (text[pos] == '"') {
        size_t i = pos + 1;
        while (i < text.size()) {
            if (text[i] == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    out += '"';
                    i += 2;
                    continue;
                }
                pos = i + 1;
                return true;
            }
            out += text[i];
            ++i;
        }
        return false;
    }
    while (pos < text.size() && IsSqlWordChar(static_cast<unsigned char>(text[pos]))) {
        out += text[pos];
        ++pos;
    }
    return !out.empty();
}

bool ReadQualifiedName(const std::string& text, size_t& pos, std::string& schema,
                       std::string& name) {
    schema.clear();
    std::string first;
    if (!ReadIdentifier(text, pos, first)) return false;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        std::string second;
        if (!ReadIdentifier(text, pos, second)) return false;
        if (pos < text.size() && text[pos] == '.') {
            // database.schema.table: the database part names nothing we keep.
            ++pos;
            std::string third;
            if (!ReadIdentifier(text, pos, third)) return false;
            schema = second;
            name = third;
            return true;
        }
        schema = first;
        name = second;
        return true;
    }
    name = first;
    return true;
}

bool ReadColumnList(const std::string& text, size_t& pos, std::vector<std::string>& names) {
    names.clear();
    SkipSqlSpace(text, pos);
    if (pos >= text.size() || text[pos] != '(') return false;
    ++pos;
    for (;;) {
        std::string column;
        if (!ReadIdentifier(text, pos, column)) return false;
        names.push_back(column);
        SkipSqlSpace(text, pos);
        if (pos >= text.size()) return false;
        if (text[pos] == ',') {
            ++pos;
            continue;
        }
        if (text[pos] == ')') {
            ++pos;
            return true;
        }
        return false;
    }
}

std::string LeadingWords(const std::string& text, int count) {
    std::string result;
    size_t pos = 0;
    for (int n = 0; n < count; ++n) {
        SkipSqlSpace(text, pos);
        size_t start = pos;
        while (pos < text.size() && IsSqlWordChar(static_cast<unsigned char>(text[pos]))) ++pos;
        if (pos == start) break;
        if (!result.empty()) result += ' ';
        result += ToUpperAscii(text.substr(start, pos - start));
    }
    return result;
}

void SplitTopLevel(const std::string& text, std::vector<std::string>& pieces) {
    pieces.clear();
    int depth = 0;
    SqlQuoteTracker quotes;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!quotes.Unquoted(c)) continue;
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ',' && depth == 0) {
            pieces.push_back(TrimSql(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    std::string last = TrimSql(text.substr(start));
    if (!last.empty()) pieces.push_back(last);
}

std::string TrimSql(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSqlSpace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && IsSqlSpace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

size_t FindNoCase(const std::string& text, const char* upperNeedle, size_t from) {
    const size_t length = std::strlen(upperNeedle);
    if (length == 0 || text.size() < length) return std::string::npos;
    for (size_t i = from; i + length <= text.size(); ++i) {
        if (ToUpperAscii(text[i]) != upperNeedle[0]) continue;
        size_t k = 1;
        while (k < length && ToUpperAscii(text[i + k]) == upperNeedle[k]) ++k;
        if (k == length) return i;
    }
    return std::string::npos;
}
