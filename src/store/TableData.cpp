#include "store/TableData.h"

#include <algorithm>
#include <cstring>

#include "jobs/JobContext.h"
#include "sql/Encoding.h"
#include "store/CopyLine.h"
#include "store/SpoolWriter.h"
#include "platform/TempFiles.h"

namespace {

constexpr size_t kBufferSize = CSpoolWriter::kBufferSize;
constexpr uint64_t kRowsPerCheck = 16384;

}  // namespace

CTableData::~CTableData() {
    Reset();
}

void CTableData::Reset() {
    m_spool.Finish();
    m_writeHandle.Close();
    m_readHandle.Close();
    if (!m_tempPath.empty()) {
        platform::DeleteFile(m_tempPath);
        m_tempPath.clear();
    }
    m_rowOffsets.clear();
    m_rowOffsets.shrink_to_fit();
    m_readWindowOffset = 0;
    m_readWindowBytes = 0;
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
    m_rowOffsets.reserve(
        static_cast<size_t>(std::min<uint64_t>(m_expectedRows, uint64_t{1} << 27)));
    if (job != nullptr) job->SetMessage(u"行データを読み込んでいます: " + table.QualifiedName());

    const bool read = dump.ReadTableData(table, *this, job, error);
    m_job = nullptr;
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
            m_rowOffsets.push_back(m_lineStart);
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

    if (!m_readHandle.OpenRead(m_tempPath, platform::CFile::AccessHint::Random)) {
        error = u"一時ファイルをオープンできません(" + m_tempPath + u")。";
        Reset();
        return false;
    }
    if (m_readBuffer.size() < kBufferSize) m_readBuffer.resize(kBufferSize);
    m_readWindowBytes = 0;
    if (job != nullptr) job->SetProgress(100);
    return true;
}

bool CTableData::Write(const char* data, size_t length) {
    if (m_ended) return true;
    if (length == 0) return m_writeOk;

    size_t i = 0;
    while (i < length) {
        if (m_atLineStart) {
            m_lineStart = m_bytesWritten + m_bufferedBytes + i;
            m_atLineStart = false;
            m_lineLength = 0;
        }
        // Only the first two bytes of a line matter while loading.
        while (m_lineLength < 2 && i < length && data[i] != '\n') {
            m_lineHead[m_lineLength++] = data[i++];
        }
        if (i >= length) break;
        const void* lf = std::memchr(data + i, '\n', length - i);
        if (lf == nullptr) {
            m_lineLength += length - i;
            break;
        }
        const size_t at = static_cast<size_t>(static_cast<const char*>(lf) - data);
        m_lineLength += at - i;
        i = at + 1;

        if (m_lineLength == 2 && m_lineHead[0] == '\\' && m_lineHead[1] == '.') {
            // The end-of-data line: keep what came before it in this piece, drop the rest.
            const size_t markerStart = at >= 2 ? at - 2 : 0;
            Append(data, markerStart);
            m_ended = true;
            return m_writeOk;
        }
        m_rowOffsets.push_back(m_lineStart);
        m_atLineStart = true;
        if (m_job != nullptr && m_rowOffsets.size() % kRowsPerCheck == 0) {
            if (m_job->IsCancelled()) return false;
            if (m_expectedRows != 0) {
                m_job->SetProgress(static_cast<int>(
                    std::min<uint64_t>(100, m_rowOffsets.size() * 100 / m_expectedRows)));
            }
        }
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

bool CTableData::RowView(size_t row, const char*& bytes, size_t& length) {
    bytes = nullptr;
    length = 0;
    if (row >= m_rowOffsets.size() || !m_readHandle.IsOpen()) return false;
    const uint64_t start = m_rowOffsets[row];
    const uint64_t end = row + 1 < m_rowOffsets.size() ? m_rowOffsets[row + 1] : m_dataEnd;
    if (end <= start) return true;
    const uint64_t rowLength = end - start - 1;

    if (!(start >= m_readWindowOffset &&
          start + rowLength <= m_readWindowOffset + m_readWindowBytes)) {
        const size_t size = static_cast<size_t>(std::max<uint64_t>(rowLength, kBufferSize));
        if (m_readBuffer.size() < size) m_readBuffer.resize(size);
        const int64_t n = m_readHandle.ReadAt(start, m_readBuffer.data(), size);
        if (n < 0) {
            m_readWindowBytes = 0;
            return false;
        }
        m_readWindowOffset = start;
        m_readWindowBytes = static_cast<uint64_t>(n);
        if (m_readWindowBytes < rowLength) return false;
    }
    bytes = m_readBuffer.data() + (start - m_readWindowOffset);
    length = static_cast<size_t>(rowLength);
    return true;
}

bool CTableData::ReadRowBytes(size_t row, std::string& bytes) {
    bytes.clear();
    const char* view = nullptr;
    size_t length = 0;
    if (!RowView(row, view, length)) return false;
    bytes.assign(view, length);
    return true;
}

const std::vector<CopyField>* CTableData::GetRowFields(size_t row) {
    const char* view = nullptr;
    size_t length = 0;
    if (!RowView(row, view, length)) return nullptr;
    SplitCopyLine(view, length, m_fields, m_codePage);
    return &m_fields;
}

bool CTableData::GetRow(size_t row, RowCells& cells) {
    static const std::vector<bool> kAll;
    return GetRowColumns(row, kAll, cells);
}

bool CTableData::GetRowColumns(size_t row, const std::vector<bool>& wanted, RowCells& cells) {
    // Split straight from the read window; the row bytes are not copied first.
    if (GetRowFields(row) == nullptr) {
        cells.clear();
        return false;
    }
    const size_t count = std::max<size_t>(static_cast<size_t>(m_columnCount), m_fields.size());
    // The caller's cells are reused so their strings keep their capacity.
    cells.resize(count);
    const bool all = wanted.empty();
    for (size_t j = 0; j < count; ++j) {
        CellValue& cell = cells[j];
        cell.text.clear();
        if (j >= m_fields.size() || m_fields[j].isNull ||
            (!all && (j >= wanted.size() || !wanted[j]))) {
            cell.isNull = true;
            continue;
        }
        cell.isNull = false;
        AppendWide(m_fields[j].bytes.data(), m_fields[j].bytes.size(), m_codePage, cell.text);
    }
    return true;
}
