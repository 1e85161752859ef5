#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dump/DumpFile.h"

// Cuts COPY text pushed in pieces of any size into rows, the way the row store does: a line
// feed ends a row, the line "\." ends the data (what follows it is dropped), and a last line
// without a line feed is still a row. Each row goes to OnRow without its line feed, straight
// from the piece when it lies inside one, else from a copy that joins the pieces. A row
// longer than MaxRowBytes() stops the producer, so the copy stays bounded.
class CCopyRowSink : public IDataSink {
public:
    bool Write(const char* data, size_t length) final;
    // Hands over a last line that had no line feed; call once after the producer has ended.
    // False when OnRow refused it.
    bool Finish();

    // Rows handed to OnRow so far.
    uint64_t RowCount() const { return m_rows; }
    // The producer was stopped by a row over the limit: row RowCount() + 1.
    bool RowTooLong() const { return m_tooLong; }

protected:
    // False stops the producer.
    virtual bool OnRow(const char* data, size_t length) = 0;

private:
    bool IsMarker(const char* data, size_t length) const {
        return length == 2 && data[0] == '\\' && data[1] == '.';
    }
    bool Emit(const char* data, size_t length);

    std::string m_carry;  // the start of a line cut by the end of a piece
    bool m_ended = false;
    bool m_tooLong = false;
    uint64_t m_rows = 0;
};
