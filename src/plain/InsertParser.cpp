#include "plain/InsertParser.h"

#include <array>
#include <cstring>

#include "platform/AsciiCase.h"
#include "sql/MultiByte.h"
#include "sql/SqlText.h"

namespace {

bool EqualsWord(const char* data, size_t length, const char* word) {
    const size_t wordLength = std::strlen(word);
    if (length != wordLength) return false;
    for (size_t i = 0; i < length; ++i) {
        if (platform::ToUpperAscii(data[i]) != word[i]) return false;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One backslash escape of an E'...' string, pos at the byte after the backslash. The
// forms are PostgreSQL's: \b \f \n \r \t, octal \o to \ooo, hex \xh and \xhh, and
// \uXXXX and \UXXXXXXXX in UTF-8 scripts; any other byte stands for itself.
void ReadEscape(const std::string& text, size_t& pos, int codePage, std::string& bytes) {
    const char c = text[pos];
    switch (c) {
        case 'b':
            bytes += '\b';
            ++pos;
            return;
        case 'f':
            bytes += '\f';
            ++pos;
            return;
        case 'n':
            bytes += '\n';
            ++pos;
            return;
        case 'r':
            bytes += '\r';
            ++pos;
            return;
        case 't':
            bytes += '\t';
            ++pos;
            return;
        default:
            break;
    }
    if (IsOctalDigit(c)) {
        int value = 0;
        size_t digits = 0;
        while (digits < 3 && pos < text.size() && IsOctalDigit(text[pos])) {
            value = value * 8 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        bytes += static_cast<char>(value & 0xFF);
        return;
    }
    if (c == 'x' && pos + 1 < text.size() && HexDigitValue(text[pos + 1]) >= 0) {
        int value = HexDigitValue(text[pos + 1]);
        pos += 2;
        if (pos < text.size() && HexDigitValue(text[pos]) >= 0) {
            value = value * 16 + HexDigitValue(text[pos]);
            ++pos;
        }
        bytes += static_cast<char>(value);
        return;
    }
    if ((c == 'u' || c == 'U') && codePage == 65001) {
        const size_t count = c == 'u' ? 4 : 8;
        if (pos + 1 + count <= text.size()) {
            uint32_t value = 0;
            bool ok = true;
            for (size_t k = 1; k <= count && ok; ++k) {
                const int digit = HexDigitValue(text[pos + k]);
                ok = digit >= 0;
                value = value * 16 + static_cast<uint32_t>(digit < 0 ? 0 : digit);
            }
            if (ok && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
                AppendUtf8(bytes, value);
                pos += 1 + count;
                return;
            }
        }
    }
    bytes += c;
    ++pos;
}

// The body of a quoted string from just after its opening quote.
void ReadQuoted(const std::string& text, size_t& pos, bool escapes, int codePage,
                std::string& bytes) {
    const size_t size = text.size();
    const bool multiByte = escapes && IsMultiByteCodePage(codePage);
    while (pos < size) {
        size_t run = pos;
        if (escapes) {
            while (run < size && text[run] != '\'' && text[run] != '\\' &&
                   !(multiByte && static_cast<unsigned char>(text[run]) >= 0x80)) {
                ++run;
            }
        } else {
            const void* quote = std::memchr(text.data() + pos, '\'', size - pos);
            run = quote != nullptr
                      ? static_cast<size_t>(static_cast<const char*>(quote) - text.data())
                      : size;
        }
        bytes.append(text, pos, run - pos);
        pos = run;
        if (pos >= size) return;  // not closed: the string runs to the end
        const char c = text[pos];
        if (c == '\'') {
            if (pos + 1 < size && text[pos + 1] == '\'') {
                bytes += '\'';
                pos += 2;
                continue;
            }
            ++pos;
            return;
        }
        if (c == '\\') {
            if (pos + 1 >= size) {
                bytes += '\\';
                ++pos;
                return;
            }
            ++pos;
            ReadEscape(text, pos, codePage, bytes);
            continue;
        }
        // A lead byte: its trail byte may be 0x5C and must not start an escape.
        size_t take = MultiByteLength(codePage, static_cast<unsigned char>(c),
                                      text.data() + pos + 1, size - pos - 1);
        if (take > size - pos) take = size - pos;
        bytes.append(text, pos, take);
        pos += take;
    }
}

// B'0101' as it is, X'1F' as the bits it stands for, as PostgreSQL reads them.
void ReadBitString(const std::string& text, size_t& pos, bool hex, std::string& bytes) {
    std::string digits;
    ReadQuoted(text, pos, false, 65001, digits);
    if (!hex) {
        bytes = digits;
        return;
    }
    for (char c : digits) {
        const int value = HexDigitValue(c);
        if (value < 0) {
            bytes += c;
            continue;
        }
        for (int bit = 3; bit >= 0; --bit) bytes += (value >> bit) & 1 ? '1' : '0';
    }
}

// A cast after a string: the type name, which may hold parentheses (numeric(10,2)), up to
// the comma or closing parenthesis that ends the value.
void SkipCast(const std::string& text, size_t& pos) {
    size_t depth = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth == 0) return;
            --depth;
        } else if (c == ',' && depth == 0) {
            return;
        }
        ++pos;
    }
}

constexpr std::array<bool, 256> MakeRowStops() {
    std::array<bool, 256> stops{};
    stops['('] = stops[')'] = stops['\''] = true;
    return stops;
}

// The bytes a row of a VALUES list has to stop at.
constexpr std::array<bool, 256> kRowStops = MakeRowStops();

constexpr bool NeedsEscape(unsigned char c) {
    return (c >= 0x08 && c <= 0x0D) || c == '\\';
}

}  // namespace

bool ParseInsertValue(const std::string& statement, size_t& pos, bool& isNull, std::string& bytes,
                      int codePage) {
    isNull = false;
    bytes.clear();
    const size_t size = statement.size();
    if (pos >= size) return false;
    const char c = statement[pos];
    const bool quoteNext = pos + 1 < size && statement[pos + 1] == '\'';
    if (c == '\'' || ((c == 'E' || c == 'e') && quoteNext)) {
        const bool escapes = c != '\'';
        pos += escapes ? 2 : 1;
        ReadQuoted(statement, pos, escapes, codePage, bytes);
    } else if ((c == 'B' || c == 'b' || c == 'X' || c == 'x') && quoteNext) {
        pos += 2;
        ReadBitString(statement, pos, c == 'X' || c == 'x', bytes);
    } else {
        // An unquoted literal runs to the comma or parenthesis that ends the value.
        const size_t start = pos;
        size_t depth = 0;
        while (pos < size) {
            const char ch = statement[pos];
            if (ch == '(') {
                ++depth;
            } else if (ch == ')') {
                if (depth == 0) break;
                --depth;
            } else if (ch == ',' && depth == 0) {
                break;
            }
            ++pos;
        }
        size_t end = pos;
        while (end > start && IsSqlSpace(static_cast<unsigned char>(statement[end - 1]))) --end;
        const char* word = statement.data() + start;
        const size_t length = end - start;
        if (EqualsWord(word, length, "NULL") || EqualsWord(word, length, "DEFAULT")) {
            isNull = true;
        } else if (EqualsWord(word, length, "TRUE")) {
            bytes = "t";
        } else if (EqualsWord(word, length, "FALSE")) {
            bytes = "f";
        } else {
            bytes.assign(word, length);
        }
        return true;
    }
    SkipSqlSpace(statement, pos);
    if (pos + 1 < size && statement[pos] == ':' && statement[pos + 1] == ':') {
        pos += 2;
        SkipCast(statement, pos);
    }
    return true;
}

void AppendCopyEscaped(std::string& line, const char* data, size_t length, int codePage) {
    const bool multiByte = IsMultiByteCodePage(codePage);
    size_t i = 0;
    while (i < length) {
        const size_t run = i;
        if (multiByte) {
            while (i < length && static_cast<unsigned char>(data[i]) < 0x80 &&
                   !NeedsEscape(static_cast<unsigned char>(data[i]))) {
                ++i;
            }
        } else {
            while (i < length && !NeedsEscape(static_cast<unsigned char>(data[i]))) ++i;
        }
        line.append(data + run, i - run);
        if (i >= length) return;
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c >= 0x80) {
            size_t take = MultiByteLength(codePage, c, data + i + 1, length - i - 1);
            if (take > length - i) take = length - i;
            line.append(data + i, take);
            i += take;
            continue;
        }
        static const char kLetters[] = "btnvfr";  // 0x08 to 0x0D
        line += '\\';
        line += c == '\\' ? '\\' : kLetters[c - 0x08];
        ++i;
    }
}

void AppendCopyEscaped(std::string& line, const std::string& bytes, int codePage) {
    AppendCopyEscaped(line, bytes.data(), bytes.size(), codePage);
}

bool ParseInsertHeader(const std::string& statement, size_t& pos, std::string& schema,
                       std::string& name, std::vector<std::string>& columns) {
    pos = 0;
    columns.clear();
    SkipSqlSpace(statement, pos);
    if (statement.size() - pos < 6 || !EqualsWord(statement.data() + pos, 6, "INSERT")) {
        return false;
    }
    pos += 6;
    if (pos < statement.size() && IsSqlWordChar(static_cast<unsigned char>(statement[pos]))) {
        return false;
    }
    if (!MatchKeyword(statement, pos, "INTO")) return false;
    if (!ReadQualifiedName(statement, pos, schema, name)) return false;
    SkipSqlSpace(statement, pos);
    if (pos < statement.size() && statement[pos] == '(') {
        if (!ReadColumnList(statement, pos, columns)) return false;
    }
    const size_t beforeOverriding = pos;
    if (MatchKeyword(statement, pos, "OVERRIDING")) {
        MatchKeyword(statement, pos, "SYSTEM");
        MatchKeyword(statement, pos, "USER");
        MatchKeyword(statement, pos, "VALUE");
    } else {
        pos = beforeOverriding;
    }
    return MatchKeyword(statement, pos, "VALUES");
}

namespace {

// One parenthesised row from its opening parenthesis at pos, appended to out as a COPY line
// with its LF; pos ends after the closing parenthesis.
bool ParseInsertRow(const std::string& statement, size_t& pos, int codePage, std::string& out,
                    std::string& bytes) {
    const size_t size = statement.size();
    ++pos;
    bool first = true;
    for (;;) {
        SkipSqlSpace(statement, pos);
        if (pos >= size) return false;
        if (statement[pos] == ')') {
            ++pos;
            break;
        }
        if (!first) {
            if (statement[pos] != ',') return false;
            ++pos;
            SkipSqlSpace(statement, pos);
        }
        bool isNull = false;
        if (!ParseInsertValue(statement, pos, isNull, bytes, codePage)) return false;
        if (!first) out += '\t';
        if (isNull) {
            out += "\\N";
        } else {
            AppendCopyEscaped(out, bytes, codePage);
        }
        first = false;
    }
    out += '\n';
    return true;
}

}  // namespace

bool ParseInsertRows(const std::string& statement, size_t pos, int codePage, std::string& out,
                     uint64_t& rows) {
    rows = 0;
    const size_t size = statement.size();
    std::string bytes;
    for (;;) {
        SkipSqlSpace(statement, pos);
        // The list ends at the semicolon, or at ON CONFLICT, RETURNING...
        if (pos >= size || statement[pos] != '(') return true;
        if (!ParseInsertRow(statement, pos, codePage, out, bytes)) return false;
        ++rows;
        SkipSqlSpace(statement, pos);
        if (pos >= size || statement[pos] != ',') return true;
        ++pos;
    }
}

bool ParseInsertRowsSoFar(const std::string& text, size_t& pos, int codePage, std::string& out,
                          uint64_t& rows) {
    rows = 0;
    const size_t size = text.size();
    std::string bytes;
    for (;;) {
        SkipSqlSpace(text, pos);
        if (pos >= size) return false;
        if (text[pos] != '(') return true;
        const size_t rowStart = pos;
        const size_t outMark = out.size();
        bool complete = ParseInsertRow(text, pos, codePage, out, bytes);
        if (complete) {
            SkipSqlSpace(text, pos);
            // Only the comma tells that the row was not the list's last word: a row at the
            // very end of the piece waits for the next one.
            if (pos < size && text[pos] != ',') {
                ++rows;
                return true;
            }
            complete = pos < size;
        }
        if (!complete) {
            out.resize(outMark);
            pos = rowStart;
            return false;
        }
        ++rows;
        ++pos;
    }
}

bool ParseInsertStatement(const std::string& statement, std::string& schema, std::string& name,
                          std::vector<std::string>& columns, std::vector<std::string>& rows,
                          int codePage) {
    schema.clear();
    name.clear();
    columns.clear();
    rows.clear();
    size_t pos = 0;
    if (!ParseInsertHeader(statement, pos, schema, name, columns)) return false;
    std::string text;
    uint64_t count = 0;
    const bool ok = ParseInsertRows(statement, pos, codePage, text, count);
    // A COPY line never holds a raw LF, so the lines split back exactly.
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        rows.emplace_back(text, start, lf - start);
        start = lf + 1;
    }
    return ok;
}

CInsertRowCounter::CInsertRowCounter(int codePage) : m_codePage(codePage) {}

void CInsertRowCounter::Feed(const char* data, size_t length) {
    const bool multiByte = IsMultiByteCodePage(m_codePage);
    size_t i = 0;
    while (i < length && m_state != State::Done) {
        // Inside a row only parentheses and quotes matter: skip the rest in one go,
        // keeping the two bytes before the stop for the E'' test.
        if (m_state == State::InRow) {
            const size_t from = i;
            while (i < length && !kRowStops[static_cast<unsigned char>(data[i])]) ++i;
            if (i > from) {
                m_prev2 = i - from >= 2 ? static_cast<unsigned char>(data[i - 2]) : m_prev1;
                m_prev1 = static_cast<unsigned char>(data[i - 1]);
            }
            if (i == length) return;
        } else if (m_state == State::Quoted) {
            // The body of a plain string holds nothing but its closing quote.
            const void* quote = std::memchr(data + i, '\'', length - i);
            if (quote == nullptr) {
                m_prev1 = static_cast<unsigned char>(data[length - 1]);
                return;
            }
            i = static_cast<size_t>(static_cast<const char*>(quote) - data);
        }
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (m_state == State::EscapedQuote) {
            if (c == '\'') {
                m_state = State::Escaped;
                m_prev2 = m_prev1;
                m_prev1 = c;
                ++i;
                continue;
            }
            m_state = State::InRow;
        }
        switch (m_state) {
            case State::ExpectRow:
                if (IsSqlSpace(c)) break;
                if (c == '(') {
                    m_depth = 1;
                    m_state = State::InRow;
                } else {
                    m_state = State::Done;
                }
                break;
            case State::AfterRow:
                if (IsSqlSpace(c)) break;
                m_state = c == ',' ? State::ExpectRow : State::Done;
                break;
            case State::InRow:
                if (c == '(') {
                    ++m_depth;
                } else if (c == ')') {
                    // A row counts once it is closed, as the parser takes only those.
                    if (--m_depth == 0) {
                        ++m_rows;
                        m_state = State::AfterRow;
                    }
                } else if (c == '\'') {
                    const bool escape =
                        (m_prev1 == 'E' || m_prev1 == 'e') && !IsSqlWordChar(m_prev2);
                    m_state = escape ? State::Escaped : State::Quoted;
                }
                break;
            case State::Quoted:
                m_state = State::InRow;
                break;
            case State::Escaped:
                if (c == '\'') {
                    m_state = State::EscapedQuote;
                } else if (c == '\\' || (multiByte && c >= 0x80 &&
                                         MultiByteLength(m_codePage, c, nullptr, 0) > 1)) {
                    m_state = State::EscapedByte;
                }
                break;
            case State::EscapedByte:
                m_state = State::Escaped;
                break;
            default:
                break;
        }
        m_prev2 = m_prev1;
        m_prev1 = c;
        ++i;
    }
}
