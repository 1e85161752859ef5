#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Whether the line starting at line (left bytes remain in view) is the end-of-data line
// of a COPY section: a backslash and a full stop, perhaps a CR, then LF or the end of the
// view. length receives the bytes before the LF.
inline bool IsCopyEndLine(const char* line, size_t left, size_t& length) {
    if (left < 2 || line[0] != '\\' || line[1] != '.') return false;
    length = 2;
    if (left > 2 && line[2] == '\r') ++length;
    return length == left || line[length] == '\n';
}

class BufferedFileReader;
class IJobContext;

enum SqlStatementKind : int32_t {
    SqlStatementKind_Sql = 0,
    SqlStatementKind_MetaCommand = 1,
};

// One statement of a script, as the bytes of the file (no encoding conversion).
struct SqlStatement {
    int32_t kind = SqlStatementKind_Sql;
    // Sql: from the first non-blank byte to the semicolon, lines joined by LF, comment
    // tails removed. MetaCommand: the line from the backslash on.
    std::string text;
    uint64_t startOffset = 0;
    // Where the next statement may begin.
    uint64_t endOffset = 0;
    // The text stopped growing at the size limit; the bytes from keptEnd on were read
    // past (quotes and comments still followed) but not kept.
    bool truncated = false;
    uint64_t keptEnd = 0;
};

struct StatementOptions {
    // No script statement that we keep the text of is anywhere near this; beyond it the
    // text is cut so that a runaway quote cannot take the whole file into memory.
    size_t maxText = size_t{8} << 20;
    // In a script with LF line ends a CR before a line break inside a literal is part of
    // the value; in a CRLF script it is the line end and is dropped like everywhere else.
    bool keepQuotedCR = false;
    // Escape strings (E'...') step over the characters of these code pages whole, so a
    // Shift_JIS trail byte 0x5C does not escape the closing quote.
    int codePage = 65001;
    // Set, a statement's text is handed over in pieces once it reaches drainAt bytes, and
    // again each time it has doubled: drain may take what it can use from the front of the
    // text (the rest stays for the next piece), so a statement of any length passes in
    // bounded memory. False from drain ends the statement there.
    std::function<bool(std::string& text)> drain;
    size_t drainAt = size_t{4} << 20;
};

// Reads the next statement from the reader's position. False at the end of the file
// when no statement had started.
bool ReadStatement(BufferedFileReader& reader, SqlStatement& statement,
                   const StatementOptions& options = StatementOptions());

// Passes over the data lines of a COPY ... FROM stdin section: rows counted, start at the
// reader's position, end at the first byte of the "\." line (or the end of the file).
// The reader is left after the "\." line; a read failure ends the section where it
// happened (the caller sees IoFailed). With a job, cancellation is polled once per window
// and progress every 64 MiB of data; false when it was cancelled.
bool SkipCopyData(BufferedFileReader& reader, uint64_t& rows, uint64_t& start, uint64_t& end,
                  IJobContext* job = nullptr);
