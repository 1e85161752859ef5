#include "dump/ParallelTableReader.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "jobs/JobContext.h"
#include "jobs/JobState.h"
#include "platform/Environment.h"

namespace {

// What every task's job shares: the caller's job behind one lock, the bytes done.
class CSharedProgress {
public:
    CSharedProgress(IJobContext* job, const std::vector<TableReadTask>& tasks)
        : m_job(job), m_done(tasks.size()) {
        for (const TableReadTask& task : tasks) m_total += std::max<uint64_t>(task.weight, 1);
        for (auto& done : m_done) done.store(0);
    }

    bool IsCancelled() const { return m_job != nullptr && m_job->IsCancelled(); }

    void SetDone(size_t task, uint64_t bytes) {
        if (m_job == nullptr) return;
        // Each task only moves forwards, so the sum does too.
        uint64_t previous = m_done[task].load();
        while (bytes > previous && !m_done[task].compare_exchange_weak(previous, bytes)) {
        }
        uint64_t sum = 0;
        for (const auto& done : m_done) sum += done.load();
        const int percent = static_cast<int>(std::min<uint64_t>(100, sum * 100 / m_total));
        std::lock_guard<std::mutex> lock(m_lock);
        if (percent <= m_percent) return;
        m_percent = percent;
        m_job->SetProgress(percent);
    }

    void SetMessage(const std::u16string& text) {
        if (m_job == nullptr) return;
        std::lock_guard<std::mutex> lock(m_lock);
        m_job->SetMessage(text);
    }

    // The first task that failed, in order, when tasks after it should stop.
    std::atomic<size_t> firstFailed{std::numeric_limits<size_t>::max()};

private:
    IJobContext* m_job;
    std::vector<std::atomic<uint64_t>> m_done;
    uint64_t m_total = 0;
    std::mutex m_lock;
    int m_percent = -1;
};

class CTaskJob : public IJobContext {
public:
    CTaskJob(CSharedProgress& shared, size_t task, uint64_t weight, bool stopAfterFailure)
        : m_shared(shared),
          m_task(task),
          m_weight(std::max<uint64_t>(weight, 1)),
          m_stop(stopAfterFailure) {}
    bool IsCancelled() const override {
        return m_shared.IsCancelled() || (m_stop && m_shared.firstFailed.load() < m_task);
    }
    // Per-table messages would flicker between workers; one worker's is as good as any.
    void SetMessage(const std::u16string& text) override { m_shared.SetMessage(text); }
    void SetProgress(int percent) override {
        const uint64_t within = static_cast<uint64_t>(std::clamp(percent, 0, 100));
        m_shared.SetDone(m_task, m_weight * within / 100);
    }
    void Finish() { m_shared.SetDone(m_task, m_weight); }

private:
    CSharedProgress& m_shared;
    size_t m_task;
    uint64_t m_weight;
    bool m_stop;
};

unsigned ParseThreads(const std::u16string& text) {
    unsigned value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9' || value > 1000) return 0;
        value = value * 10 + static_cast<unsigned>(c - u'0');
    }
    return value;
}

}  // namespace

unsigned ConfiguredThreadCount() {
    std::u16string text;
    if (platform::GetEnvironmentVariable("KALVEX_THREADS", &text)) {
        const unsigned threads = ParseThreads(text);
        if (threads > 0) return threads;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

CParallelTableReader::CParallelTableReader(unsigned threads)
    : m_threads(threads > 0 ? threads : ConfiguredThreadCount()) {}

unsigned CParallelTableReader::ThreadsFor(size_t tasks) const {
    return static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(m_threads, tasks)));
}

void CParallelTableReader::Run(const std::vector<TableReadTask>& tasks,
                               const TableReadFunction& read, const TableSinkFunction& sinkFor,
                               IJobContext* job, bool stopAtFirstFailure,
                               std::vector<TableReadResult>& results) const {
    results.assign(tasks.size(), TableReadResult{});
    CSharedProgress shared(job, tasks);
    std::atomic<size_t> next{0};

    auto work = [&]() {
        for (;;) {
            const size_t i = next.fetch_add(1);
            if (i >= tasks.size()) return;
            TableReadResult& result = results[i];
            CTaskJob taskJob(shared, i, tasks[i].weight, stopAtFirstFailure);
            if (taskJob.IsCancelled()) {
                result.ok = false;
                result.error = kCancelledMessage;
                continue;
            }
            IDataSink* sink = sinkFor(tasks[i].tableIndex);
            try {
                result.ok = read(tasks[i].tableIndex, *sink, job != nullptr ? &taskJob : nullptr,
                                 result.error);
            } catch (const std::exception& e) {
                // An escaping exception would take the process down from a worker thread.
                result.ok = false;
                result.error = kUnexpectedErrorPrefix;
                for (const char* p = e.what(); *p != 0; ++p)
                    result.error += static_cast<char16_t>(static_cast<unsigned char>(*p));
            } catch (...) {
                result.ok = false;
                result.error = kUnexpectedErrorMessage;
            }
            if (!result.ok) {
                if (result.error.empty()) result.error = kCancelledMessage;
                size_t seen = shared.firstFailed.load();
                while (i < seen && !shared.firstFailed.compare_exchange_weak(seen, i)) {
                }
            }
            taskJob.Finish();
        }
    };

    const unsigned threads = ThreadsFor(tasks.size());
    if (threads == 1) {
        work();
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);
    for (std::thread& worker : workers) worker.join();
}

const TableReadResult* CParallelTableReader::FirstFailure(
    const std::vector<TableReadResult>& results) {
    for (const TableReadResult& result : results) {
        if (!result.ok) return &result;
    }
    return nullptr;
}
