// A table's rows from the byte range the scan recorded: COPY sections are passed on in
// large pieces with their CRs removed, INSERT statements are turned into COPY lines.
#include <cstring>

#include "dump/BufferedFileReader.h"
#include "jobs/JobContext.h"
#include "plain/InsertRows.h"
#include "plain/PlainDump.h"
#include "sql/Encoding.h"
#include "sql/SqlText.h"

namespace {

constexpr uint64_t kLinesPerPoll = 4096;

const char16_t* const kReadFailed = u"ファイルの読み込みに失敗しました。";

// Collects the short pieces between removed CRs into larger writes; long runs go to the
// sink as they are.
class CPieceWriter {
public:
    static constexpr size_t kPieceSize = 256 * 1024;

    explicit CPieceWriter(IDataSink& sink) : m_sink(sink) {}

    bool Put(const char* data, size_t length) {
        if (length == 0) return true;
        if (m_buffer.size() + length > kPieceSize) {
            if (!Flush()) return false;
            if (length >= kPieceSize) return m_sink.Write(data, length);
        }
        m_buffer.append(data, length);
        return true;
    }
    bool Flush() {
        if (m_buffer.empty()) return true;
        const bool ok = m_sink.Write(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return ok;
    }

private:
    IDataSink& m_sink;
    std::string m_buffer;
};

}  // namespace

bool CPlainDump::ReadTableData(const TableEntry& table, IDataSink& sink, IJobContext* job,
                               std::u16string& error) {
    if (table.dataKind == TableDataKind_None) return true;
    if (!ExpandIfCompressed(job, error)) return false;

    BufferedFileReader reader;
    if (!reader.Open(m_readPath) || table.dataOffset < 0 ||
        reader.FileSize() < static_cast<uint64_t>(table.dataOffset) ||
        !reader.Seek(static_cast<uint64_t>(table.dataOffset))) {
        error = u"ダンプファイルをオープンできません(" + m_readPath + u")。";
        return false;
    }
    if (table.dataOffset >= table.dataEnd) return true;

    if (table.dataKind == TableDataKind_Copy) {
        std::vector<std::pair<uint64_t, uint64_t>> sections;
        const auto found = m_copySections.find(PositionOf(table));
        if (found != m_copySections.end()) {
            sections = found->second;
        } else {
            sections.emplace_back(table.dataOffset, table.dataEnd);
        }
        uint64_t lines = 0;
        for (const auto& [start, end] : sections) {
            if (!reader.Seek(start)) {
                error = u"ダンプファイルをオープンできません(" + m_readPath + u")。";
                return false;
            }
            if (!ReadCopyRange(reader, end, sink, job, lines, error)) return false;
        }
        return true;
    }
    if (table.dataKind == TableDataKind_Insert) {
        return ReadInsertRange(reader, table, sink, job, error);
    }
    return true;
}

bool CPlainDump::ReadCopyRange(BufferedFileReader& reader, uint64_t end, IDataSink& sink,
                               IJobContext* job, uint64_t& lines, std::u16string& error) const {
    CPieceWriter out(sink);
    bool lineStart = true;
    for (;;) {
        if (lineStart && reader.Position() >= end) return out.Flush();
        // Four bytes tell the end line "\." with its line break.
        if (reader.Available() < 4) reader.Refill();
        const size_t n = reader.Available();
        // A failed read leaves the bytes at a line start that no refill will complete.
        if (n == 0 || reader.IoFailed()) {
            if (reader.IoFailed()) {
                error = kReadFailed;
                return false;
            }
            // The file ends inside a line: it is still a row.
            if (!lineStart && !out.Put("\n", 1)) return false;
            return out.Flush();
        }
        const char* p = reader.Data();
        const char* e = p + n;
        const uint64_t base = reader.Position();
        const bool fileEndsHere = base + n >= reader.FileSize();
        const char* q = p;
        const char* run = p;  // first byte not yet handed on
        bool finished = false;
        for (;;) {
            if (lineStart) {
                if (base + static_cast<uint64_t>(q - p) >= end) {
                    finished = true;
                    break;
                }
                const size_t left = static_cast<size_t>(e - q);
                if (left < 4 && !fileEndsHere) break;
                size_t length = 0;
                if (IsCopyEndLine(q, left, length)) {
                    finished = true;
                    break;
                }
                if (left == 0) break;
            }
            const void* found = std::memchr(q, '\n', static_cast<size_t>(e - q));
            if (found == nullptr) {
                // The line goes on in the next window; a CR at the edge may be the one
                // before its LF, so it waits for the refill.
                const char* keep = e;
                if (!fileEndsHere && keep > q && keep[-1] == '\r') --keep;
                if (keep > q) lineStart = false;
                q = keep;
                break;
            }
            const char* lf = static_cast<const char*>(found);
            if (lf > q && lf[-1] == '\r') {
                if (!out.Put(run, static_cast<size_t>(lf - 1 - run))) return false;
                run = lf;
            }
            q = lf + 1;
            lineStart = true;
            if (++lines % kLinesPerPoll == 0 && job != nullptr && job->IsCancelled()) {
                error = kCancelledMessage;
                return false;
            }
        }
        if (!out.Put(run, static_cast<size_t>(q - run))) return false;
        reader.Consume(static_cast<size_t>(q - p));
        // Also once per window: a few long lines must not keep a cancel waiting.
        if (job != nullptr && job->IsCancelled()) {
            error = kCancelledMessage;
            return false;
        }
        if (finished) return out.Flush();
    }
}

bool CPlainDump::ReadInsertRange(BufferedFileReader& reader, const TableEntry& table,
                                 IDataSink& sink, IJobContext* job, std::u16string& error) const {
    CInsertRowsReader rows(table, TableCodePage(table), !m_crlfScript, sink, job);
    return rows.Read(reader, static_cast<uint64_t>(table.dataEnd), error);
}
