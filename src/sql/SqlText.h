#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Small lexical helpers over one SQL statement held as bytes in the dump's encoding.
// They know SQL space, words, quoted identifiers and parentheses, nothing more.

bool IsSqlSpace(unsigned char c);

// Digits of backslash escapes (COPY text, E'' strings): the value, or -1.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
inline bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// Follows single- and double-quoted stretches byte by byte. Unquoted is true for a byte
// that stands outside any quotes and is no quote itself: parentheses and commas count
// only there.
class SqlQuoteTracker {
public:
    bool Unquoted(char c) {
        if (m_single) {
            if (c == '\'') m_single = false;
            return false;
        }
        if (m_double) {
            if (c == '"') m_double = false;
            return false;
        }
        if (c == '\'') m_single = true;
        if (c == '"') m_double = true;
        return !m_single && !m_double;
    }

private:
    bool m_single = false;
    bool m_double = false;
};
// ASCII letters and digits, underscore, and every byte from 0x80 on.
bool IsSqlWordChar(unsigned char c);

void SkipSqlSpace(const std::string& text, size_t& pos);
bool MatchKeyword(const std::string& text, size_t& pos, const char* keyword);
std::string ReadWordUpper(const std::string& text, size_t from);
bool ReadIdentifier(const std::string& text, size_t& pos, std::string& out);
bool ReadQualifiedName(const std::string& text, size_t& pos, std::string& schema,
                       std::string& name);
bool ReadColumnList(const std::string& text, size_t& pos, std::vector<std::string>& names);
std::string LeadingWords(const std::string& text, int count);
void SplitTopLevel(const std::string& text, std::vector<std::string>& pieces);
std::string TrimSql(const std::string& text);
// The first occurrence of an upper-case needle from `from` on, ignoring the case of the
// text's ASCII letters, without an upper-cased copy of the text; npos when there is none.
size_t FindNoCase(const std::string& text, const char* upperNeedle, size_t from = 0);
