#include "sort/ViewSort.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <queue>
#include <thread>

#include "jobs/JobContext.h"
#include "platform/File.h"
#include "platform/TempFiles.h"
#include "platform/WideChar.h"
#include "store/TableCursor.h"
#include "store/TableData.h"

namespace {

constexpr size_t kPollInterval = 4096;
constexpr size_t kWriteBuffer = 1 << 20;
constexpr int kExtractShare = 80;  // percent of the progress bar for reading keys
constexpr const char16_t* kWriteFailed = u"並べ替えの一時ファイルに書き込めませんでした。";
constexpr const char16_t* kReadFailed = u"並べ替えの一時ファイルを読み取れませんでした。";

// A record is its key bytes followed by the view position, big-endian, so records never
// tie and equal keys keep view order.
struct Record {
    const char* data = nullptr;
    uint32_t length = 0;
};

bool RecordLess(const Record& a, const Record& b) {
    int c = std::memcmp(a.data, b.data, std::min(a.length, b.length));
    return c != 0 ? c < 0 : a.length < b.length;
}

uint32_t RecordPosition(const Record& record) {
    const auto* p = reinterpret_cast<const unsigned char*>(record.data + record.length - 4);
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// A spilled run; its file goes with it.
struct RunFile {
    std::u16string path;
    RunFile() = default;
    RunFile(const RunFile&) = delete;
    RunFile& operator=(const RunFile&) = delete;
    ~RunFile() {
        if (!path.empty()) platform::DeleteFile(path);
    }
};

// Records of a spilled run, read back in sort order.
class CFileSource {
public:
    CFileSource(const std::u16string& path, size_t bufferBytes) : m_buffer(bufferBytes) {
        m_failed = !m_file.OpenRead(path, platform::CFile::AccessHint::Sequential);
    }
    bool Failed() const { return m_failed; }
    // False at the end or on a read failure (Failed tells).
    bool Next(Record& record) {
        if (m_failed) return false;
        uint32_t length = 0;
        if (!Take(&length, sizeof length, true)) return false;
        m_record.resize(length);
        if (!Take(m_record.data(), length, false)) {
            m_failed = true;
            return false;
        }
        record.data = m_record.data();
        record.length = length;
        return true;
    }

private:
    bool Take(void* target, size_t length, bool endAllowed) {
        auto* out = static_cast<char*>(target);
        size_t done = 0;
        while (done < length) {
            if (m_used == m_filled) {
                int64_t read = m_file.Read(m_buffer.data(), m_buffer.size());
                if (read <= 0) {
                    if (read < 0 || done > 0 || !endAllowed) m_failed = true;
                    return false;
                }
                m_filled = static_cast<size_t>(read);
                m_used = 0;
            }
            size_t step = std::min(length - done, m_filled - m_used);
            std::memcpy(out + done, m_buffer.data() + m_used, step);
            m_used += step;
            done += step;
        }
        return true;
    }

    platform::CFile m_file;
    std::vector<char> m_buffer;
    size_t m_used = 0;
    size_t m_filled = 0;
    std::vector<char> m_record;
    bool m_failed = false;
};

// One run of the merge: a worker's last run, in memory, or a spilled one.
struct RunSource {
    std::vector<Record> records;
    size_t next = 0;
    std::unique_ptr<CFileSource> file;

    bool Next(Record& record) {
        if (file) return file->Next(record);
        if (next == records.size()) return false;
        record = records[next++];
        return true;
    }
    bool Failed() const { return file && file->Failed(); }
};

struct HeapItem {
    Record record;
    size_t source;
};

// Hands every record of the sources to emit in sort order; false when a run cannot be read
// (readFailed) or emit said stop.
template <typename Emit>
bool MergeRuns(std::vector<RunSource>& sources, Emit&& emit, bool& readFailed) {
    readFailed = false;
    auto greater = [](const HeapItem& a, const HeapItem& b) {
        return RecordLess(b.record, a.record);
    };
    std::priority_queue<HeapItem, std::vector<HeapItem>, decltype(greater)> heap(greater);
    // A file source reuses its record buffer, so the head of each run is copied.
    std::vector<std::string> heads(sources.size());
    auto pull = [&](size_t s) {
        Record record;
        if (!sources[s].Next(record)) return !sources[s].Failed();
        heads[s].assign(record.data, record.length);
        heap.push({{heads[s].data(), record.length}, s});
        return true;
    };
    for (size_t s = 0; s < sources.size(); ++s) {
        if (!pull(s)) {
            readFailed = true;
            return false;
        }
    }
    while (!heap.empty()) {
        const HeapItem top = heap.top();
        heap.pop();
        if (!emit(top.record)) return false;
        if (!pull(top.source)) {
            readFailed = true;
            return false;
        }
    }
    return true;
}

// Writes records as a run: each is its length, then its bytes.
class CRunWriter {
public:
    bool Open(RunFile& run) {
        return CreateTempFile(u".srt", run.path) && m_file.OpenWrite(run.path);
    }
    bool Add(const Record& record) {
        m_buffer.append(reinterpret_cast<const char*>(&record.length), sizeof record.length);
        m_buffer.append(record.data, record.length);
        return m_buffer.size() < kWriteBuffer || Flush();
    }
    bool Finish() { return Flush() && m_file.Close(); }

private:
    bool Flush() {
        const bool ok = m_file.WriteAll(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return ok;
    }
    platform::CFile m_file;
    std::string m_buffer;
};

// Runs a worker keeps on disk before it merges them into one, so the files open at once
// stay few whatever the budget.
constexpr size_t kMaxRuns = 16;

// Reads the keys of one slice of the view into runs; one worker per core.
struct Worker {
    std::string arena;  // records back to back
    std::vector<uint64_t> starts;
    std::vector<std::unique_ptr<RunFile>> runs;
    bool ok = true;
    std::u16string error;

    std::vector<Record> SortedRecords() const {
        std::vector<Record> records(starts.size());
        for (size_t i = 0; i < starts.size(); ++i) {
            size_t end = i + 1 < starts.size() ? starts[i + 1] : arena.size();
            records[i] = {arena.data() + starts[i], static_cast<uint32_t>(end - starts[i])};
        }
        std::sort(records.begin(), records.end(), RecordLess);
        return records;
    }

    bool Spill() {
        std::vector<Record> records = SortedRecords();
        auto run = std::make_unique<RunFile>();
        CRunWriter writer;
        bool ok = writer.Open(*run);
        for (size_t i = 0; ok && i < records.size(); ++i) ok = writer.Add(records[i]);
        if (!ok || !writer.Finish()) {
            error = kWriteFailed;
            return false;
        }
        runs.push_back(std::move(run));
        arena.clear();
        starts.clear();
        return runs.size() < kMaxRuns || MergeFileRuns(bufferBytes);
    }

    // Puts every run on disk into one.
    bool MergeFileRuns(size_t sourceBuffer) {
        std::vector<RunSource> sources(runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
            sources[i].file = std::make_unique<CFileSource>(runs[i]->path, sourceBuffer);
        }
        auto merged = std::make_unique<RunFile>();
        CRunWriter writer;
        bool readFailed = false;
        if (!writer.Open(*merged) ||
            !MergeRuns(
                sources, [&writer](const Record& r) { return writer.Add(r); }, readFailed) ||
            !writer.Finish()) {
            error = readFailed ? kReadFailed : kWriteFailed;
            return false;
        }
        sources.clear();
        runs.clear();
        runs.push_back(std::move(merged));
        return true;
    }

    // The sort array of SortedRecords counts against the budget too.
    size_t HeldBytes() const {
        return arena.size() + starts.size() * (sizeof(uint64_t) + sizeof(Record));
    }
    size_t bufferBytes = 4096;
};
;

struct SortInput {
    const CTableData& table;
    std::vector<SortClass> classes;
    const std::vector<SortKey>& keys;
    const std::vector<size_t>* viewRows;
    std::vector<bool> wanted;
    size_t budgetPerWorker;
    IJobContext* job;
    std::atomic<bool> stop{false};
};

void Extract(SortInput& input, size_t from, size_t to, bool reportsProgress, Worker& worker) {
    CTableCursor cursor(input.table);
    RowCells cells;
    const size_t total = to - from;
    for (size_t position = from; position < to; ++position) {
        if ((position - from) % kPollInterval == 0) {
            if (input.stop.load(std::memory_order_relaxed) ||
                (input.job && input.job->IsCancelled())) {
                worker.ok = false;
                worker.error = kCancelledMessage;
                input.stop = true;
                return;
            }
            if (reportsProgress && input.job) {
                input.job->SetProgress(static_cast<int>((position - from) * kExtractShare /
                                                        std::max<size_t>(total, 1)));
            }
        }
        size_t row = input.viewRows ? (*input.viewRows)[position] : position;
        if (!cursor.GetRowColumns(row, input.wanted, cells)) {
            worker.ok = false;
            worker.error =
                u"行データの読み取りに失敗しました(行 " + platform::FormatDecimal(row + 1) + u")。";
            input.stop = true;
            return;
        }
        worker.starts.push_back(worker.arena.size());
        for (size_t k = 0; k < input.keys.size(); ++k) {
            AppendSortKey(cells[input.keys[k].column], input.classes[k], input.keys[k].descending,
                          worker.arena);
        }
        for (int shift = 24; shift >= 0; shift -= 8) {
            worker.arena.push_back(static_cast<char>(static_cast<uint32_t>(position) >> shift));
        }
        if (worker.HeldBytes() > input.budgetPerWorker && !worker.Spill()) {
            worker.ok = false;
            input.stop = true;
            return;
        }
    }
}

}  // namespace

bool SortTableView(const CTableData& table, const std::vector<ColumnInfo>& columns,
                   const std::vector<SortKey>& keys, const std::vector<size_t>* viewRows,
                   size_t memoryBytes, IJobContext* job, std::vector<uint32_t>& order,
                   std::u16string& error) {
    order.clear();
    const size_t count = viewRows ? viewRows->size() : table.GetRowCount();
    if (count > UINT32_MAX) {
        error = u"行が多すぎて並べ替えられません。";
        return false;
    }
    SortInput input{table,
                    {},
                    keys,
                    viewRows,
                    std::vector<bool>(table.GetColumnCount(), false),
                    std::max<size_t>(memoryBytes / 2, 1),
                    job};
    for (const SortKey& key : keys) {
        if (key.column >= table.GetColumnCount()) {
            error = u"並べ替えの列がありません。";
            return false;
        }
        input.wanted[key.column] = true;
        input.classes.push_back(key.column < columns.size() ? GetSortClass(columns[key.column])
                                                            : SortClass::Text);
    }

    // A second core pays only when there is enough to read.
    const size_t workerCount =
        count >= 2 * kPollInterval && std::thread::hardware_concurrency() > 1 ? 2 : 1;
    std::vector<Worker> workers(workerCount);
    for (Worker& worker : workers) {
        worker.bufferBytes =
            std::clamp<size_t>(input.budgetPerWorker / (kMaxRuns + 1), 4096, kWriteBuffer);
    }
    {
        std::vector<std::thread> threads;
        for (size_t w = 1; w < workerCount; ++w) {
            threads.emplace_back(Extract, std::ref(input), count * w / workerCount,
                                 count * (w + 1) / workerCount, false, std::ref(workers[w]));
        }
        Extract(input, 0, count / workerCount, true, workers[0]);
        for (std::thread& thread : threads) thread.join();
    }
    for (Worker& worker : workers) {
        if (!worker.ok) {
            error = worker.error;
            // A cancel wins over the failure it caused in the other worker.
            for (const Worker& other : workers) {
                if (!other.ok && other.error == kCancelledMessage) error = kCancelledMessage;
            }
            return false;
        }
    }

    // The last run of each worker stays in memory; it is sorted on its worker's core.
    std::vector<std::vector<Record>> lastRuns(workerCount);
    {
        std::vector<std::thread> threads;
        for (size_t w = 1; w < workerCount; ++w) {
            threads.emplace_back([&, w] { lastRuns[w] = workers[w].SortedRecords(); });
        }
        lastRuns[0] = workers[0].SortedRecords();
        for (std::thread& thread : threads) thread.join();
    }

    size_t fileRuns = 0;
    for (const Worker& worker : workers) fileRuns += worker.runs.size();
    const size_t bufferBytes =
        std::clamp<size_t>(memoryBytes / std::max<size_t>(fileRuns + 1, 1), 4096, kWriteBuffer);
    std::vector<RunSource> sources;
    for (size_t w = 0; w < workerCount; ++w) {
        for (const auto& run : workers[w].runs) {
            sources.emplace_back();
            sources.back().file = std::make_unique<CFileSource>(run->path, bufferBytes);
        }
        sources.emplace_back();
        sources.back().records = std::move(lastRuns[w]);
    }

    order.reserve(count);
    bool readFailed = false;
    bool cancelled = false;
    const bool merged = MergeRuns(
        sources,
        [&](const Record& record) {
            order.push_back(RecordPosition(record));
            if (order.size() % kPollInterval == 0 && job) {
                if (job->IsCancelled()) {
                    cancelled = true;
                    return false;
                }
                job->SetProgress(kExtractShare +
                                 static_cast<int>(order.size() * (100 - kExtractShare) / count));
            }
            return true;
        },
        readFailed);
    if (!merged) {
        order.clear();
        error = cancelled ? kCancelledMessage : kReadFailed;
        return false;
    }
    if (job) job->SetProgress(100);
    return true;
}
