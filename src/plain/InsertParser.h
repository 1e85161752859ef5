#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Turns the INSERT statements that pg_dump writes with --inserts, --column-inserts and
// --rows-per-insert into COPY text lines, so that every consumer sees one data format.

// The whole statement: schema and name of the table, the column list (if any) and one
// COPY line (without LF) per row. False when it is not an INSERT ... VALUES or a row is
// malformed; rows may then hold what was parsed before.
bool ParseInsertStatement(const std::string& statement, std::string& schema, std::string& name,
                          std::vector<std::string>& columns, std::vector<std::string>& rows,
                          int codePage);

// INSERT INTO name [(columns)] [OVERRIDING ... VALUE] VALUES: pos ends after VALUES.
bool ParseInsertHeader(const std::string& statement, size_t& pos, std::string& schema,
                       std::string& name, std::vector<std::string>& columns);

// The rows from pos (after VALUES), each appended to out as a COPY line with its LF.
// False on a malformed row; out may then hold part of the rows.
bool ParseInsertRows(const std::string& statement, size_t pos, int codePage, std::string& out,
                     uint64_t& rows);

// For a statement that arrives in pieces: the complete rows from pos, appended as
// ParseInsertRows does; pos moves past the last of them and its comma. True when the list
// has ended; false when what is left may be a row that goes on in the next piece (or a
// malformed one, which ParseInsertRows on the last piece tells).
bool ParseInsertRowsSoFar(const std::string& text, size_t& pos, int codePage, std::string& out,
                          uint64_t& rows);

// One value at pos: a string ('...', E'...', B'...', X'...', with an optional cast),
// NULL, DEFAULT, TRUE, FALSE or any other unquoted literal. codePage keeps double-byte
// characters of escape strings whole.
bool ParseInsertValue(const std::string& statement, size_t& pos, bool& isNull, std::string& bytes,
                      int codePage = 65001);

// Appends bytes with COPY's backslash escapes; double-byte characters of the code pages
// that have them are copied whole.
void AppendCopyEscaped(std::string& line, const std::string& bytes, int codePage);
void AppendCopyEscaped(std::string& line, const char* data, size_t length, int codePage);

// Counts the rows of an INSERT statement's VALUES list in pieces, so that a statement
// too long to keep can still be counted from the file.
class CInsertRowCounter {
public:
    explicit CInsertRowCounter(int codePage = 65001);
    // Feeds the bytes that follow VALUES.
    void Feed(const char* data, size_t length);
    uint64_t Rows() const { return m_rows; }
    // The list has ended (a semicolon, ON CONFLICT, RETURNING...): later bytes are ignored.
    bool Done() const { return m_state == State::Done; }

private:
    enum class State : uint8_t {
        ExpectRow,  // after VALUES or a comma
        InRow,
        Quoted,
        Escaped,       // E'...'
        EscapedQuote,  // a quote inside E'...': the end, unless another quote follows
        EscapedByte,   // after a backslash or a lead byte inside E'...'
        AfterRow,
        Done,
    };
    int m_codePage;
    State m_state = State::ExpectRow;
    uint64_t m_rows = 0;
    uint64_t m_depth = 0;
    unsigned char m_prev1 = ' ';
    unsigned char m_prev2 = ' ';
};
