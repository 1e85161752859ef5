#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dump/DumpFile.h"
#include "plain/InsertParser.h"

class BufferedFileReader;
class IJobContext;

// Turns one table's INSERT statements, from the reader's position to end, into COPY lines
// for a sink. A statement of any length is parsed as it is read, in pieces, so that
// no statement is too long to give its rows; only a single row longer than MaxRowBytes()
// stops the reading, with the row-limit message.
class CInsertRowsReader {
public:
    CInsertRowsReader(const TableEntry& table, int codePage, bool keepQuotedCR, IDataSink& sink,
                      IJobContext* job);

    // False with the message in error on a row over the limit, a read error or a cancel;
    // false with error untouched when the sink refused the rows.
    bool Read(BufferedFileReader& reader, uint64_t end, std::u16string& error);
    // The size at which a statement starts to be parsed in pieces; tests make it small.
    void SetPieceSize(size_t bytes) { m_pieceSize = bytes; }

private:
    bool Drain(std::string& text);
    // Where the statement's rows start, and whether it inserts into this table.
    bool FindRows(const std::string& text, size_t& pos);
    bool Put(const char* data, size_t length);
    bool Flush();

    const TableEntry& m_table;
    const int m_codePage;
    const bool m_keepQuotedCR;
    IDataSink& m_sink;
    IJobContext* m_job;
    size_t m_pieceSize = size_t{4} << 20;

    // The previous statement's bytes up to VALUES: pg_dump repeats them for every row.
    std::string m_header;
    std::string m_lastSchema, m_lastName;
    bool m_haveLast = false;
    bool m_lastMatches = false;

    // The statement being read has been handed over in pieces.
    bool m_streaming = false;
    bool m_matches = false;
    bool m_listEnded = false;
    size_t m_rowsFrom = 0;
    // Counts the rows of the text not yet parsed, from m_rowsFrom to m_fed.
    CInsertRowCounter m_pending;
    size_t m_fed = 0;

    std::string m_out;  // COPY lines collected into larger writes
    uint64_t m_rows = 0;
    bool m_failed = false;
    std::u16string m_error;
};
