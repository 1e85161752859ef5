#include "store/TableData.h"

#include <algorithm>
#include <cstring>

#include "dump/LineFeeds.h"
#include "dump/RowLimit.h"
#include "jobs/JobContext.h"
#include "platform/TempFiles.h"
#include "store/SpoolWriter.h"
#include "store/TableCursor.h"

namespace {

constexpr size_t kBufferSize = CSpoolWriter::kBufferSize;
constexpr uint64_t kRowsPerCheck = 16384;

}  // namespace

CTableData::CTableData() = default;

CTableData::~CTableData() {
    Reset();
}

void CTableData::Reset() {
    m_ownerCursor.reset();
    m_loaded = false;
    m_spool.Finish();
    m_writeHandle.Close();
    if (!m_tempPath.empty()) {
        platform::DeleteFile(m_tempPath);
        m_tempPath.clear();
    }
    m_rowOffsets.Release();
    m_dataEnd = 0;
    m_bufferedBytes = 0;
}

bool CTableData::Load(IDumpFile& dump, const TableEntry& table, IJobContext* job,
                      std::u16string& error) {
    Reset();
    m_codePage = table.codePage != 0 ? table.codePage : dump.GetInfo().codePage;
    m_columnCount = table.columns.size();
    m_job = job;
    m_expectedRows = table.rowCountKnown ? table.rowCount : 0;
    m_ended = false;
    m_atLineStart = true;
    m_lineLength = 0;
    m_lineStart = 0;
    m_bytesWritten = 0;
    m_bufferedBytes = 0;
    m_writeOk = true;
    m_rowTooLong = false;
    m_rowLimit = MaxRowBytes();

    m_tempPath = MakeTempFilePath(u".dat");
    if (!m_writeHandle.OpenWritePrivate(m_tempPath)) {
        error = u"一時ファイルを作成できません(" + m_tempPath + u")。";
        m_tempPath.clear();  // nothing was created, and the name may belong to someone else
        m_job = nullptr;
        return false;
    }
    m_spool.Start(m_writeHandle);
    // The scan's count saves regrowing the offsets; a count from a damaged dump is only
    // believed up to a bound.
    m_rowOffsets.Reserve(
        static_cast<size_t>(std::min<uint64_t>(m_expectedRows, uint64_t{1} << 27)));
    if (job != nullptr) job->SetMessage(u"行データを読み込んでいます: " + table.QualifiedName());

    const bool read = dump.ReadTableData(table, *this, job, error);
    m_job = nullptr;
    if (m_rowTooLong) {
        error = RowTooLongMessage(table.QualifiedName(), m_rowOffsets.size() + 1);
        Reset();
        return false;
    }
    // A failed spool write stops the reader without a message of its own; it must not
    // look like a cancellation.
    if (!read && m_writeOk) {
        Reset();
        return false;
    }
    if (!m_writeOk) {
        error = u"一時ファイルの書き込みに失敗しました(" + m_tempPath + u")。";
        Reset();
        return false;
    }

    // A last line without a line feed is a row, unless it is the end-of-data line.
    bool endedByMarker = m_ended;
    if (!m_ended && !m_atLineStart) {
        if (m_lineLength == 2 && m_lineHead[0] == '\\' && m_lineHead[1] == '.') {
            endedByMarker = true;
        } else {
            m_rowOffsets.Push(m_lineStart);
            Append("\n", 1);
        }
    }
    Flush();
    if (!m_spool.Finish()) m_writeOk = false;
    const bool closed = m_writeHandle.Close();
    if (!m_writeOk || !closed) {
        error = u"一時ファイルの書き込みに失敗しました(" + m_tempPath + u")。";
        Reset();
        return false;
    }
    m_dataEnd = endedByMarker ? std::min(m_bytesWritten, m_lineStart) : m_bytesWritten;

    m_loaded = true;
    // The owner's cursor opens the spool file now, so a file that cannot be read back
    // fails the load rather than the first row.
    if (!OwnerCursor().Open()) {
        error = u"一時ファイルをオープンできません(" + m_tempPath + u")。";
        Reset();
        return false;
    }
    if (job != nullptr) job->SetProgress(100);
    return true;
}

bool CTableData::Write(const char* data, size_t length) {
    if (m_rowTooLong) return false;
    if (m_ended) return true;
    if (length == 0) return m_writeOk;

    const uint64_t base = m_bytesWritten + m_bufferedBytes;  // spool offset of data[0]
    size_t from = 0;                // start of the current line, when it starts here
    bool carried = !m_atLineStart;  // the current line began in an earlier piece
    bool marker = false;
    bool cancelled = false;
    size_t markerStart = 0;
    ForEachLineFeed(data, length, [&](size_t at) {
        uint64_t start = base + from;
        const uint64_t lineLength = carried ? m_lineLength + at : at - from;
        if (lineLength > m_rowLimit) {
            m_rowTooLong = true;
            return false;
        }
        if (carried) {
            // Only the first two bytes of a line matter while loading.
            char head[2] = {m_lineHead[0], m_lineHead[1]};
            for (size_t k = 0; m_lineLength + k < 2 && k < at; ++k)
                head[m_lineLength + k] = data[k];
            marker = m_lineLength + at == 2 && head[0] == '\\' && head[1] == '.';
            start = m_lineStart;
            carried = false;
        } else {
            marker = at - from == 2 && data[from] == '\\' && data[from + 1] == '.';
        }
        if (marker) {
            // The end-of-data line: what came before it in this piece is kept.
            markerStart = at >= 2 ? at - 2 : 0;
            m_lineStart = start;
            return false;
        }
        m_rowOffsets.Push(start);
        from = at + 1;
        if (m_job != nullptr && m_rowOffsets.size() % kRowsPerCheck == 0) {
            if (m_job->IsCancelled()) {
                cancelled = true;
                return false;
            }
            if (m_expectedRows != 0) {
                m_job->SetProgress(static_cast<int>(
                    std::min<uint64_t>(100, m_rowOffsets.size() * 100 / m_expectedRows)));
            }
        }
        return true;
    });
    if (cancelled || m_rowTooLong) return false;
    if (marker) {
        Append(data, markerStart);
        m_ended = true;
        return m_writeOk;
    }

    // The unterminated tail: it continues the carried line or starts a new one.
    if ((carried ? m_lineLength + length : length - from) > m_rowLimit) {
        m_rowTooLong = true;
        return false;
    }
    if (carried) {
        for (size_t k = 0; m_lineLength + k < 2 && k < length; ++k)
            m_lineHead[m_lineLength + k] = data[k];
        m_lineLength += length;
    } else if (from < length) {
        m_atLineStart = false;
        m_lineStart = base + from;
        m_lineLength = length - from;
        m_lineHead[0] = data[from];
        m_lineHead[1] = from + 1 < length ? data[from + 1] : 0;
    } else {
        m_atLineStart = true;
    }
    Append(data, length);
    return m_writeOk;
}

void CTableData::Append(const char* data, size_t length) {
    while (length > 0 && m_writeOk) {
        const size_t room = kBufferSize - static_cast<size_t>(m_bufferedBytes);
        const size_t take = std::min(room, length);
        std::memcpy(m_spool.Buffer() + m_bufferedBytes, data, take);
        m_bufferedBytes += take;
        data += take;
        length -= take;
        if (m_bufferedBytes == kBufferSize) Flush();
    }
}

void CTableData::Flush() {
    if (m_bufferedBytes == 0) return;
    // The write itself happens on the spool writer's thread; a failure shows up at a
    // later hand-over or at the end of the load.
    if (m_writeOk && !m_spool.Submit(static_cast<size_t>(m_bufferedBytes))) m_writeOk = false;
    m_bytesWritten += m_bufferedBytes;
    m_bufferedBytes = 0;
}

bool CTableData::GetRowExtent(size_t row, uint64_t& start, uint64_t& length) const {
    start = 0;
    length = 0;
    if (!m_loaded || row >= m_rowOffsets.size()) return false;
    start = m_rowOffsets[row];
    const uint64_t end = row + 1 < m_rowOffsets.size() ? m_rowOffsets[row + 1] : m_dataEnd;
    // The line feed that ends the row is not part of it.
    if (end > start) length = end - start - 1;
    return true;
}

CTableCursor& CTableData::OwnerCursor() {
    if (!m_ownerCursor) m_ownerCursor = std::make_unique<CTableCursor>(*this);
    return *m_ownerCursor;
}

bool CTableData::ReadRowBytes(size_t row, std::string& bytes) {
    return OwnerCursor().ReadRowBytes(row, bytes);
}

bool CTableData::GetRow(size_t row, RowCells& cells) {
    return OwnerCursor().GetRow(row, cells);
}

bool CTableData::GetRowColumns(size_t row, const std::vector<bool>& wanted, RowCells& cells) {
    return OwnerCursor().GetRowColumns(row, wanted, cells);
}

const std::vector<CopyField>* CTableData::GetRowFields(size_t row) {
    return OwnerCursor().GetRowFields(row);
}
