#include "filter/RowStream.h"

#include <algorithm>

#include "dump/RowLimit.h"
#include "filter/RowFilter.h"
#include "jobs/JobContext.h"
#include "store/CopyLine.h"
#include "store/CopyRows.h"

namespace {

constexpr uint64_t kRowsPerCheck = 16384;

}  // namespace

const RowCells& CStreamRow::Cells() {
    if (!m_cellsComplete) {
        static const std::vector<bool> kAll;
        CopyFieldsToCells(m_fields, m_columnCount, m_codePage, kAll, m_cells);
        m_cellsComplete = true;
    }
    return m_cells;
}

// Splits each row, tests it and passes the matches on; remembers why it stopped the reader.
class CRowStreamSink : public CCopyRowSink {
public:
    enum class State { Reading, Stopped, Failed, Cancelled };

    CRowStreamSink(const TableEntry& table, int codePage, CRowFilter* filter, IJobContext* job,
                   const RowStreamReceiver& receive)
        : m_row(table.columns.size(), codePage),
          m_filter(filter),
          m_job(job),
          m_receive(receive),
          m_expectedRows(table.rowCountKnown ? table.rowCount : 0) {}

    State GetState() const { return m_state; }
    const std::u16string& Error() const { return m_error; }

protected:
    bool OnRow(const char* data, size_t length) override {
        const uint64_t index = RowCount() - 1;
        if (m_job != nullptr && index % kRowsPerCheck == kRowsPerCheck - 1) {
            if (m_job->IsCancelled()) {
                m_state = State::Cancelled;
                return false;
            }
            if (m_expectedRows != 0) {
                m_job->SetProgress(
                    static_cast<int>(std::min<uint64_t>(100, index * 100 / m_expectedRows)));
            }
        }
        m_row.m_index = index;
        m_row.m_cellsComplete = false;
        if (m_filter != nullptr && !m_filter->IsEmpty()) {
            // Most rows fail the test: decode only what it reads, and the rest of a row
            // only when it passes.
            const std::vector<bool>& read = m_filter->CellsRead();
            SplitCopyLineColumns(data, length, m_row.m_fields, m_row.m_codePage, read);
            CopyFieldsToCells(m_row.m_fields, m_row.m_columnCount, m_row.m_codePage, read,
                              m_row.m_cells);
            m_row.m_cellsComplete = read.empty();
            try {
                if (!m_filter->Matches(m_row.m_cells)) return true;
            } catch (const WhereError& e) {
                m_error = u"WHERE 条件式の評価に失敗しました。\n" + e.message;
                m_state = State::Failed;
                return false;
            }
            if (!read.empty()) SplitCopyLine(data, length, m_row.m_fields, m_row.m_codePage);
        } else {
            SplitCopyLine(data, length, m_row.m_fields, m_row.m_codePage);
        }
        switch (m_receive(m_row, m_error)) {
            case RowStreamStep::Next:
                return true;
            case RowStreamStep::Stop:
                m_state = State::Stopped;
                return false;
            case RowStreamStep::Fail:
                m_state = State::Failed;
                return false;
        }
        return false;
    }

private:
    CStreamRow m_row;
    CRowFilter* m_filter;
    IJobContext* m_job;
    const RowStreamReceiver& m_receive;
    uint64_t m_expectedRows;
    State m_state = State::Reading;
    std::u16string m_error;
};

bool StreamTableRows(IDumpFile& dump, const TableEntry& table, CRowFilter* filter, IJobContext* job,
                     const RowStreamReceiver& receive, std::u16string& error) {
    const int codePage = table.codePage != 0 ? table.codePage : dump.GetInfo().codePage;
    CRowStreamSink sink(table, codePage, filter, job, receive);
    if (job != nullptr) job->SetMessage(u"行データを読み込んでいます: " + table.QualifiedName());
    std::u16string readError;
    const bool read = dump.ReadTableData(table, sink, job, readError);
    if (sink.RowTooLong()) {
        error = RowTooLongMessage(table.QualifiedName(), sink.RowCount() + 1);
        return false;
    }
    switch (sink.GetState()) {
        case CRowStreamSink::State::Stopped:
            return true;
        case CRowStreamSink::State::Failed:
            error = sink.Error();
            return false;
        case CRowStreamSink::State::Cancelled:
            error = kCancelledMessage;
            return false;
        case CRowStreamSink::State::Reading:
            break;
    }
    if (!read) {
        error = readError;
        return false;
    }
    if (!sink.Finish()) {
        if (sink.GetState() == CRowStreamSink::State::Stopped) return true;
        error =
            sink.GetState() == CRowStreamSink::State::Cancelled ? kCancelledMessage : sink.Error();
        return false;
    }
    if (job != nullptr) job->SetProgress(100);
    return true;
}
