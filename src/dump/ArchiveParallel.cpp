// Reading an archive's tables apart: every data file, tar member or data block at a known
// offset is an independent stream, so each can go to a worker thread of its own.
#include <algorithm>
#include <memory>

#include "dump/ArchiveDump.h"
#include "dump/ArchiveEncoding.h"
#include "dump/BufferedFileReader.h"
#include "dump/LineCounter.h"
#include "jobs/JobContext.h"
#include "platform/WideChar.h"

namespace {

constexpr uint8_t kBlockData = 1;

// The block reader reports the file position as a share of the whole archive; the task
// wants the share of its own block.
class CBlockShareJob : public IJobContext {
public:
    CBlockShareJob(IJobContext& job, uint64_t start, uint64_t length, uint64_t fileSize)
        : m_job(job),
          m_start(start),
          m_length(std::max<uint64_t>(length, 1)),
          m_fileSize(fileSize) {}
    bool IsCancelled() const override { return m_job.IsCancelled(); }
    void SetMessage(const std::u16string& text) override { m_job.SetMessage(text); }
    void SetProgress(int percent) override {
        const uint64_t position =
            m_fileSize / 100 * static_cast<uint64_t>(std::clamp(percent, 0, 100));
        const uint64_t within = position > m_start ? position - m_start : 0;
        m_job.SetProgress(static_cast<int>(std::min<uint64_t>(100, within * 100 / m_length)));
    }

private:
    IJobContext& m_job;
    uint64_t m_start;
    uint64_t m_length;
    uint64_t m_fileSize;
};

}  // namespace

bool CArchiveDump::MakeStreamTasks(const std::vector<size_t>& tables,
                                   std::vector<TableReadTask>& tasks) {
    const std::vector<TableEntry>& entries = m_tables.Entries();
    tasks.clear();
    if (m_isDirectory) {
        for (size_t index : tables) {
            const TableEntry& table = entries[index];
            if (table.dataKind == TableDataKind_None || table.dataFile.empty()) continue;
            BufferedFileReader reader;
            std::u16string ignored;
            // A file that cannot be opened weighs nothing; its read says why.
            const uint64_t size =
                OpenDataReader(table.dataFile, reader, ignored) ? reader.FileSize() : 0;
            tasks.push_back({index, size});
        }
        return true;
    }

    BufferedFileReader reader;
    if (!reader.Open(m_path)) return false;
    for (size_t index : tables) {
        const TableEntry& table = entries[index];
        if (table.dataKind == TableDataKind_None) continue;
        // Written to a pipe, the archive has no offsets: only a walk finds the blocks.
        if (table.dataOffset <= 0) return false;
        tasks.push_back({index, 0});
    }
    std::stable_sort(tasks.begin(), tasks.end(),
                     [&](const TableReadTask& a, const TableReadTask& b) {
                         return entries[a.tableIndex].dataOffset < entries[b.tableIndex].dataOffset;
                     });
    // A block reaches up to the next one (or the end of the file).
    for (size_t i = 0; i < tasks.size(); ++i) {
        const uint64_t start = static_cast<uint64_t>(entries[tasks[i].tableIndex].dataOffset);
        const uint64_t end =
            i + 1 < tasks.size()
                ? static_cast<uint64_t>(entries[tasks[i + 1].tableIndex].dataOffset)
                : reader.FileSize();
        tasks[i].weight = end > start ? end - start : 0;
    }
    return true;
}

bool CArchiveDump::ReadTableStream(size_t tableIndex, IDataSink& sink, IJobContext* job,
                                   std::u16string& error) {
    const TableEntry& table = m_tables.Entries()[tableIndex];
    if (m_isDirectory) return ReadDataFile(table.dataFile, sink, job, error);

    BufferedFileReader reader;
    if (!reader.Open(m_path)) {
        error = u"ダンプファイルをオープンできません(" + m_path + u")。";
        return false;
    }
    if (job == nullptr) return ReadBlockAt(reader, table.dataOffset, table, sink, nullptr, error);
    // The length only scales the bar: the next block's offset or the end of the file.
    uint64_t next = reader.FileSize();
    for (const TableEntry& other : m_tables.Entries()) {
        if (other.dataOffset > table.dataOffset && static_cast<uint64_t>(other.dataOffset) < next)
            next = static_cast<uint64_t>(other.dataOffset);
    }
    const uint64_t start = static_cast<uint64_t>(std::max<int64_t>(table.dataOffset, 0));
    CBlockShareJob share(*job, start, next > start ? next - start : 1, reader.FileSize());
    return ReadBlockAt(reader, table.dataOffset, table, sink, &share, error, true);
}

CArchiveDump::BlockHeader CArchiveDump::ReadBlockHeader(BufferedFileReader& reader,
                                                        const TableEntry& table) {
    ArchiveFieldReader fields(reader, m_header);
    uint8_t type = 0;
    int32_t dumpId = 0;
    if (static_cast<uint64_t>(table.dataOffset) >= reader.FileSize() ||
        !reader.Seek(static_cast<uint64_t>(table.dataOffset)) || !reader.ReadByte(type) ||
        !fields.ReadInt(dumpId) || type != kBlockData) {
        return BlockHeader::Unreadable;
    }
    return dumpId == table.dumpId ? BlockHeader::Table : BlockHeader::Other;
}

void CArchiveDump::ReadTablesData(const std::vector<size_t>& tables,
                                  const TableSinkFunction& sinkFor, IJobContext* job,
                                  bool stopAtFirstFailure, std::vector<TableReadResult>& results) {
    std::vector<TableReadTask> tasks;
    CParallelTableReader parallel;
    if (parallel.ThreadsFor(tables.size()) == 1 || !MakeStreamTasks(tables, tasks)) {
        IDumpFile::ReadTablesData(tables, sinkFor, job, stopAtFirstFailure, results);
        return;
    }
    std::vector<TableReadResult> taskResults;
    parallel.Run(
        tasks,
        [this](size_t index, IDataSink& sink, IJobContext* taskJob, std::u16string& error) {
            return ReadTableStream(index, sink, taskJob, error);
        },
        sinkFor, job, stopAtFirstFailure, taskResults);
    // Back to the caller's order; tables without data read as empty and whole.
    results.assign(tables.size(), TableReadResult{});
    for (size_t t = 0; t < tasks.size(); ++t) {
        for (size_t i = 0; i < tables.size(); ++i) {
            if (tables[i] == tasks[t].tableIndex) results[i] = taskResults[t];
        }
    }
    if (stopAtFirstFailure) {
        // Only the first failure in dump order means anything; tasks after it were stopped.
        bool failed = false;
        for (size_t t = 0; t < tasks.size(); ++t) {
            if (failed) {
                for (size_t i = 0; i < tables.size(); ++i) {
                    if (tables[i] == tasks[t].tableIndex) results[i] = TableReadResult{};
                }
            }
            failed = failed || !taskResults[t].ok;
        }
    }
}

bool CArchiveDump::ScanParallel(IJobContext* job, bool& handled, std::u16string& error) {
    handled = false;
    std::vector<TableEntry>& entries = m_tables.Entries();
    std::vector<size_t> all(entries.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    std::vector<TableReadTask> tasks;
    CParallelTableReader parallel;
    if (parallel.ThreadsFor(entries.size()) == 1 || !MakeStreamTasks(all, tasks)) return true;
    handled = true;

    if (!m_isDirectory) {
        // The walk of a custom archive ends quietly where it meets a header it cannot
        // read (a file cut between blocks): the tables from there on stay uncounted.
        BufferedFileReader reader;
        if (!reader.Open(m_path)) {
            error = u"ダンプファイルをオープンできません(" + m_path + u")。";
            return false;
        }
        // A data block of another id is skipped and the walk goes on.
        std::vector<TableReadTask> reached;
        for (const TableReadTask& task : tasks) {
            const BlockHeader header = ReadBlockHeader(reader, entries[task.tableIndex]);
            if (header == BlockHeader::Unreadable) break;
            if (header == BlockHeader::Table) reached.push_back(task);
        }
        tasks = std::move(reached);
    }

    std::vector<DumpUtil::CLineCounter> counters(entries.size());
    std::vector<TableReadResult> results;
    parallel.Run(
        tasks,
        [this](size_t index, IDataSink& sink, IJobContext* taskJob, std::u16string& failure) {
            return ReadTableStream(index, sink, taskJob, failure);
        },
        [&counters](size_t index) -> IDataSink* { return &counters[index]; }, job, true, results);
    if (const TableReadResult* failure = CParallelTableReader::FirstFailure(results)) {
        error = failure->error;
        return false;
    }
    if (job != nullptr && job->IsCancelled()) {
        error = kCancelledMessage;
        return false;
    }

    m_blockPositions.clear();
    for (const TableReadTask& task : tasks) {
        TableEntry& table = entries[task.tableIndex];
        table.rowCount = counters[task.tableIndex].Lines();
        table.rowCountKnown = true;
        if (m_isDirectory) continue;
        m_blockPositions[table.dumpId] = table.dataOffset;
        Log(u"[block] id=" + platform::FormatDecimal(table.dumpId) + u" " + table.QualifiedName() +
            u" rows=" + platform::FormatDecimal(static_cast<int64_t>(table.rowCount)));
    }
    for (TableEntry& table : entries) {
        const bool noData =
            table.dataKind == TableDataKind_None || (m_isDirectory && table.dataFile.empty());
        if (!table.rowCountKnown && noData) table.rowCountKnown = true;
    }
    if (job != nullptr) job->SetProgress(100);
    return true;
}
