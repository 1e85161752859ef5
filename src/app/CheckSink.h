#pragma once

#include <cstddef>
#include <cstdint>

#include "dump/DumpFile.h"

// Reads a table's COPY text to its end, counting the rows and noting the first one whose
// field count differs from the column list's. Nothing after the end line "\." is a row.
class CCheckSink : public IDataSink {
public:
    // fields 0: the column count is unknown, any row passes.
    explicit CCheckSink(size_t fields) : m_expected(fields) {}
    bool Write(const char* data, size_t length) override;
    // Ends the stream: a last line without its LF still counts as a row.
    void Finish();

    uint64_t Rows() const { return m_rows; }
    // The 1-based row of the first wrong field count; 0 when every row fits.
    uint64_t BadRow() const { return m_badRow; }

private:
    void EndRow();

    size_t m_expected;
    uint64_t m_rows = 0;
    uint64_t m_badRow = 0;
    size_t m_fields = 1;        // fields of the open line so far
    uint64_t m_lineLength = 0;  // bytes of the open line so far
    char m_head[2] = {0, 0};
    bool m_escaped = false;  // the open line's last byte was an escaping backslash
    bool m_ended = false;
};
