#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "dump/DumpFile.h"
#include "jobs/JobContext.h"

// Stands between a decompressor and its consumer so that the two run at once: the
// decompressor fills one 1 MiB buffer while a thread of the pipeline hands the previous
// one to the consumer. Three buffers take turns. The thread starts with the first full
// buffer, so a small stream never pays for one.
//
// The consumer sees the same bytes in the same order, one call at a time, from one thread
// or the other. When it refuses (returns false) or throws, Write returns false from then
// on; Finish throws what it threw.
class CPipelineSink : public IDataSink {
public:
    static constexpr size_t kBufferSize = size_t{1} << 20;
    static constexpr int kBufferCount = 3;

    // job, when given, is the one the producer reports to: its progress and messages reach
    // the job from the thread that calls the consumer, so the two never report at once.
    explicit CPipelineSink(IDataSink& consumer, IJobContext* job = nullptr);
    // Stops without handing over what is still buffered; the thread is always joined.
    ~CPipelineSink() override;
    CPipelineSink(const CPipelineSink&) = delete;
    CPipelineSink& operator=(const CPipelineSink&) = delete;

    bool Write(const char* data, size_t length) override;
    // A decompressor may write into the buffer directly, which saves a copy: room bytes
    // from the result are free (null once the consumer has stopped). Commit takes the
    // bytes written there and answers as Write does.
    char* Reserve(size_t& room);
    bool Commit(size_t length);
    // Hands over what is buffered, waits until the consumer has taken it and stops the
    // thread. True when the consumer accepted every byte.
    bool Finish();

    // The job the producer is to use in place of the one given above (null without one).
    IJobContext* ProducerJob() { return m_job != nullptr ? &m_producerJob : nullptr; }

private:
    class CProducerJob : public IJobContext {
    public:
        explicit CProducerJob(CPipelineSink& pipe) : m_pipe(pipe) {}
        bool IsCancelled() const override { return m_pipe.m_job->IsCancelled(); }
        void SetMessage(const std::u16string& text) override;
        void SetProgress(int percent) override;

    private:
        CPipelineSink& m_pipe;
    };

    // Hands what the producer reported to the job; with the lock held when the thread runs.
    void TakeReports(std::unique_lock<std::mutex>& lock);

    bool Submit();
    bool Accepting();
    void Run();
    void Stop();
    bool Deliver(const char* data, size_t length);

    IDataSink& m_consumer;
    std::unique_ptr<char[]> m_buffers[kBufferCount];
    int m_active = 0;
    size_t m_fill = 0;

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<int, size_t>> m_queue;  // buffers handed over, oldest first
    int m_busy = 0;                              // buffers queued or being consumed
    bool m_stop = false;
    bool m_refused = false;  // guarded by m_mutex once the thread runs
    std::exception_ptr m_thrown;

    IJobContext* m_job;
    CProducerJob m_producerJob{*this};
    int m_progress = -1;  // not yet handed to the job; -1 when none is waiting
    std::u16string m_message;
    bool m_messageWaiting = false;
};
