#include "plain/InsertRows.h"

#include <cstring>
#include <vector>

#include "dump/BufferedFileReader.h"
#include "dump/RowLimit.h"
#include "jobs/JobContext.h"
#include "plain/InsertParser.h"
#include "plain/StatementReader.h"
#include "sql/Encoding.h"
#include "sql/SqlText.h"

namespace {

constexpr uint64_t kStatementsPerPoll = 4096;
constexpr size_t kPieceSize = 256 * 1024;

}  // namespace

CInsertRowsReader::CInsertRowsReader(const TableEntry& table, int codePage, bool keepQuotedCR,
                                     IDataSink& sink, IJobContext* job)
    : m_table(table),
      m_codePage(codePage),
      m_keepQuotedCR(keepQuotedCR),
      m_sink(sink),
      m_job(job) {}

bool CInsertRowsReader::Put(const char* data, size_t length) {
    m_out.append(data, length);
    return m_out.size() < kPieceSize || Flush();
}

bool CInsertRowsReader::Flush() {
    if (m_out.empty()) return true;
    const bool ok = m_sink.Write(m_out.data(), m_out.size());
    m_out.clear();
    return ok;
}

bool CInsertRowsReader::FindRows(const std::string& text, size_t& pos) {
    pos = 0;
    if (!m_header.empty() && text.size() >= m_header.size() &&
        std::memcmp(text.data(), m_header.data(), m_header.size()) == 0 &&
        (text.size() == m_header.size() ||
         !IsSqlWordChar(static_cast<unsigned char>(text[m_header.size()])))) {
        pos = m_header.size();
        return m_lastMatches;
    }
    m_header.clear();
    std::string schema, name;
    std::vector<std::string> columns;
    if (!ParseInsertHeader(text, pos, schema, name, columns)) return false;
    m_header.assign(text, 0, pos);
    // Consecutive statements nearly always name the same table: decode it once.
    if (!m_haveLast || schema != m_lastSchema || name != m_lastName) {
        m_lastSchema = schema;
        m_lastName = name;
        m_haveLast = true;
        m_lastMatches = ToWide(name, m_codePage) == m_table.name &&
                        (schema.empty() || ToWide(schema, m_codePage) == m_table.schema);
    }
    return m_lastMatches;
}

bool CInsertRowsReader::Drain(std::string& text) {
    if (!m_streaming) {
        m_streaming = true;
        m_listEnded = false;
        m_matches = FindRows(text, m_rowsFrom);
        m_pending = CInsertRowCounter(m_codePage);
        m_fed = m_rowsFrom;
    }
    if (!m_matches || m_listEnded) {
        text.clear();
        return true;
    }
    // Until a row is complete, which the counter tells without copying the values, the
    // start of one long row is not parsed again for every piece.
    m_pending.Feed(text.data() + m_fed, text.size() - m_fed);
    m_fed = text.size();
    if (m_pending.Rows() == 0 && !m_pending.Done()) {
        if (text.size() - m_rowsFrom <= MaxRowBytes()) return true;
        m_error = RowTooLongMessage(m_table.QualifiedName(), m_rows + 1);
        m_failed = true;
        return false;
    }
    std::string out;
    uint64_t rows = 0;
    size_t pos = m_rowsFrom;
    m_listEnded = ParseInsertRowsSoFar(text, pos, m_codePage, out, rows);
    m_rows += rows;
    // What is left is at most the start of one row.
    if (m_listEnded) {
        text.clear();
    } else {
        text.erase(0, pos);
    }
    m_rowsFrom = 0;
    m_pending = CInsertRowCounter(m_codePage);
    m_pending.Feed(text.data(), text.size());
    m_fed = text.size();
    if (!Put(out.data(), out.size())) {
        m_failed = true;
        return false;
    }
    if (text.size() > MaxRowBytes()) {
        m_error = RowTooLongMessage(m_table.QualifiedName(), m_rows + 1);
        m_failed = true;
        return false;
    }
    // One statement may take minutes: the cancel is looked at for every piece.
    if (m_job != nullptr && m_job->IsCancelled()) {
        m_error = kCancelledMessage;
        m_failed = true;
        return false;
    }
    return true;
}

bool CInsertRowsReader::Read(BufferedFileReader& reader, uint64_t end, std::u16string& error) {
    StatementOptions options;
    options.maxText = SIZE_MAX;
    options.keepQuotedCR = m_keepQuotedCR;
    options.codePage = m_codePage;
    options.drainAt = m_pieceSize;
    options.drain = [this](std::string& text) { return Drain(text); };

    SqlStatement statement;
    std::string out;
    uint64_t statements = 0;
    while (reader.Position() < end) {
        m_streaming = false;
        if (!ReadStatement(reader, statement, options)) break;
        if (m_failed) {
            if (!m_error.empty()) error = m_error;
            return false;
        }
        const std::string& text = statement.text;
        size_t pos = 0;
        bool matches = false;
        if (m_streaming) {
            pos = m_rowsFrom;
            matches = m_matches && !m_listEnded;
        } else if (statement.kind == SqlStatementKind_Sql) {
            matches = FindRows(text, pos);
        }
        if (matches) {
            out.clear();
            uint64_t rows = 0;
            if (!ParseInsertRowsSoFar(text, pos, m_codePage, out, rows)) {
                // A malformed or cut row loses itself and what follows it, as when the
                // statement came in pieces; the rows before it stay.
                std::string last;
                uint64_t lastRows = 0;
                if (ParseInsertRows(text, pos, m_codePage, last, lastRows)) {
                    out += last;
                    rows += lastRows;
                }
            }
            m_rows += rows;
            if (!Put(out.data(), out.size())) return false;
        }
        if (++statements % kStatementsPerPoll == 0 && m_job != nullptr && m_job->IsCancelled()) {
            error = kCancelledMessage;
            return false;
        }
    }
    if (reader.IoFailed()) {
        error = u"ファイルの読み込みに失敗しました。";
        return false;
    }
    return Flush();
}
