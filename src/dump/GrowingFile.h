#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

class IJobContext;

// What a writer thread tells the reader of a file it is still writing: how many bytes are
// in the file so far, and whether it has finished or failed. The reader may also give up,
// which the writer sees and stops.
class CGrowingFile {
public:
    CGrowingFile() = default;
    CGrowingFile(const CGrowingFile&) = delete;
    CGrowingFile& operator=(const CGrowingFile&) = delete;

    // Writer side. size counts the bytes written to the file (readable through another
    // handle); the first call also says that the file exists.
    void Publish(uint64_t size);
    void Finish(uint64_t size);
    // error is the writer's own message; a writer that stopped because the reader gave
    // up fails too, but that is not kept as its own failure.
    void Fail(const std::u16string& error);
    bool Abandoned() const { return m_abandoned.load(std::memory_order_relaxed); }
    // The writer's progress, 0 to 100, for whoever reports it.
    void SetPercent(int percent) { m_percent.store(percent, std::memory_order_relaxed); }

    // Reader side. Waits until the file holds at least wanted bytes, or until it will not
    // grow any more. size is what it holds then; finished says that size is final. False
    // when the writer failed, the reader gave up or the reader's job was cancelled.
    bool WaitFor(uint64_t wanted, uint64_t& size, bool& finished);
    // The job whose cancellation ends a wait, polled every kCancelPollMs; null for none.
    void SetReaderJob(const IJobContext* job) { m_readerJob = job; }
    static constexpr int kCancelPollMs = 20;
    void Abandon();
    // The writer is done, either way.
    bool Ended() const;
    // The writer failed on its own; error is its message.
    bool Failed(std::u16string& error) const;
    // Where the reader has got, as it tells us.
    void SetReadOffset(uint64_t offset) { m_readOffset.store(offset, std::memory_order_relaxed); }
    // How far the reader is through the whole file, 0 to 100: the writer's progress scaled
    // by the share of the bytes so far that the reader has taken. Close to what the
    // reader's own position in the finished file will give, so the figure does not jump
    // back when the writer ends.
    int ReaderPercent() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_size = 0;
    bool m_created = false;
    bool m_finished = false;
    bool m_failed = false;
    bool m_ownFailure = false;
    std::u16string m_error;
    std::atomic<bool> m_abandoned{false};
    std::atomic<int> m_percent{0};
    std::atomic<uint64_t> m_readOffset{0};
    const IJobContext* m_readerJob = nullptr;
};
