#pragma once

// A plain, byte-at-a-time statement splitter over a whole script held in memory, with
// the same rules as ReadStatement. The real reader works on a 1 MiB window and copies
// runs; comparing the two on scripts that put every token across a window edge finds
// the places where the window handling goes wrong.

#include <cstdint>
#include <string>
#include <vector>

#include "plain/StatementReader.h"
#include "sql/MultiByte.h"
#include "sql/SqlText.h"

namespace reference {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool IsTagChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Reads the statement at pos; false at the end.
inline bool ReadStatement(const std::string& s, size_t& pos, SqlStatement& out,
                          bool keepQuotedCR = false, int codePage = 65001) {
    const size_t n = s.size();
    out = SqlStatement();
    for (;;) {
        while (pos < n && IsBlank(s[pos])) ++pos;
        if (pos >= n) return false;
        if (s[pos] == '-' && pos + 1 < n && s[pos + 1] == '-') {
            pos = s.find('\n', pos);
            pos = pos == std::string::npos ? n : pos + 1;
            continue;
        }
        break;
    }
    const size_t start = pos;
    out.startOffset = start;
    std::string& text = out.text;
    if (s[pos] == '\\') {
        out.kind = SqlStatementKind_MetaCommand;
        while (pos < n && s[pos] != '\n') text += s[pos++];
        if (pos < n) ++pos;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        out.endOffset = pos;
        return true;
    }
    enum { Normal, Single, Escape, Double, Dollar, Block, Comment } state = Normal;
    int depth = 0;
    std::string tag;
    auto before = [&](size_t i, size_t k) -> unsigned char {
        return i >= start + k ? static_cast<unsigned char>(s[i - k]) : ' ';
    };
    size_t i = pos;
    while (i < n) {
        // Runs of bytes that cannot change anything are copied at once.
        if (state == Normal || state == Single || state == Double) {
            const char* stops = state == Single ? "'\n" : state == Double ? "\"\n" : "'\"-/$;\n";
            size_t j = s.find_first_of(stops, i);
            if (j == std::string::npos) j = n;
            if (j > i) {
                text.append(s, i, j - i);
                i = j;
                continue;
            }
        }
        const char c = s[i];
        if (c == '\n') {
            const bool quoted =
                state == Single || state == Escape || state == Double || state == Dollar;
            if (state != Comment) {
                if (!(keepQuotedCR && quoted) && i > start && s[i - 1] == '\r' && !text.empty() &&
                    text.back() == '\r') {
                    text.pop_back();
                }
                text += '\n';
            } else {
                state = Normal;
            }
            ++i;
            continue;
        }
        if (state == Comment) {
            ++i;
            continue;
        }
        switch (state) {
            case Normal:
                if (c == ';') {
                    text += ';';
                    ++i;
                    size_t j = i;
                    while (j < n && (s[j] == ' ' || s[j] == '\t' || s[j] == '\r')) ++j;
                    if (j == n || s[j] == '\n') {
                        pos = j == n ? n : j + 1;
                    } else {
                        pos = i;
                    }
                    out.endOffset = pos;
                    return true;
                }
                if (c == '\'') {
                    const unsigned char p1 = before(i, 1);
                    state =
                        (p1 == 'E' || p1 == 'e') && !IsSqlWordChar(before(i, 2)) ? Escape : Single;
                } else if (c == '"') {
                    state = Double;
                } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
                    text += '\n';
                    state = Comment;
                    i += 2;
                    continue;
                } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
                    text += "/*";
                    state = Block;
                    depth = 1;
                    i += 2;
                    continue;
                } else if (c == '$') {
                    const unsigned char p1 = before(i, 1);
                    if (!IsSqlWordChar(p1) && p1 != '$' &&
                        !(i + 1 < n && s[i + 1] >= '0' && s[i + 1] <= '9')) {
                        size_t j = i + 1;
                        while (j < n && IsTagChar(s[j])) ++j;
                        if (j < n && s[j] == '$') {
                            tag = s.substr(i, j + 1 - i);
                            text += tag;
                            state = Dollar;
                            i = j + 1;
                            continue;
                        }
                    }
                }
                text += c;
                ++i;
                break;
            case Single:
                if (c == '\'') state = Normal;
                text += c;
                ++i;
                break;
            case Double:
                if (c == '"') state = Normal;
                text += c;
                ++i;
                break;
            case Escape:
                if (c == '\'') {
                    if (i + 1 < n && s[i + 1] == '\'') {
                        text += "''";
                        i += 2;
                        continue;
                    }
                    state = Normal;
                    text += c;
                    ++i;
                    break;
                }
                if ((c == '\\' ||
                     (IsMultiByteCodePage(codePage) && static_cast<unsigned char>(c) >= 0x80 &&
                      MultiByteLength(codePage, static_cast<unsigned char>(c), nullptr, 0) > 1)) &&
                    i + 1 < n && s[i + 1] != '\n') {
                    text += c;
                    text += s[i + 1];
                    i += 2;
                    continue;
                }
                text += c;
                ++i;
                break;
            case Dollar:
                if (c == '$' && s.compare(i, tag.size(), tag) == 0) {
                    text += tag;
                    i += tag.size();
                    state = Normal;
                    continue;
                }
                text += c;
                ++i;
                break;
            case Block:
                if (c == '*' && i + 1 < n && s[i + 1] == '/') {
                    text += "*/";
                    i += 2;
                    if (--depth == 0) state = Normal;
                    continue;
                }
                if (c == '/' && i + 1 < n && s[i + 1] == '*') {
                    text += "/*";
                    i += 2;
                    ++depth;
                    continue;
                }
                text += c;
                ++i;
                break;
            case Comment:
                break;
        }
    }
    pos = n;
    out.endOffset = n;
    if (text.empty() || text.back() != '\n') text += '\n';
    return true;
}

inline std::vector<SqlStatement> ReadAll(const std::string& script, bool keepQuotedCR = false,
                                         int codePage = 65001) {
    std::vector<SqlStatement> all;
    size_t pos = 0;
    SqlStatement statement;
    while (ReadStatement(script, pos, statement, keepQuotedCR, codePage)) all.push_back(statement);
    return all;
}

}  // namespace reference
