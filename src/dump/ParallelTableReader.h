#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class IDataSink;
class IJobContext;

// One table's data stream, in the order the caller wants the results merged.
struct TableReadTask {
    size_t tableIndex = 0;
    uint64_t weight = 0;  // compressed bytes, the task's share of the progress
};

struct TableReadResult {
    bool ok = true;
    std::u16string error;
};

// Reads one table into sink. Called from worker threads at once for different tables, so
// it must open its own file and decoder. job reports the share done of this table, 0-100.
using TableReadFunction = std::function<bool(size_t tableIndex, IDataSink& sink, IJobContext* job,
                                             std::u16string& error)>;
// The caller's consumer of one table; it lives until the reader returns.
using TableSinkFunction = std::function<IDataSink*(size_t tableIndex)>;

// Reads a set of independent table streams on worker threads, each task with its own job,
// consumer and result; results come back in task order.
class CParallelTableReader {
public:
    // threads 0: KALVEX_THREADS, else the machine's hardware threads.
    explicit CParallelTableReader(unsigned threads = 0);

    // The worker count for this many tasks (at least 1).
    unsigned ThreadsFor(size_t tasks) const;

    // stopAtFirstFailure: after a failure, tasks after it in order stop (their results are
    // then meaningless); tasks before it still run, so the first failure is the sequential
    // one. Progress goes to job as the share of all tasks' weight, only forwards; job's
    // calls are serialised. results has one entry per task.
    void Run(const std::vector<TableReadTask>& tasks, const TableReadFunction& read,
             const TableSinkFunction& sinkFor, IJobContext* job, bool stopAtFirstFailure,
             std::vector<TableReadResult>& results) const;

    // The first failed result in order, or null.
    static const TableReadResult* FirstFailure(const std::vector<TableReadResult>& results);

private:
    unsigned m_threads;
};

// KALVEX_THREADS when set to a positive number, else the hardware threads (at least 1).
unsigned ConfiguredThreadCount();
