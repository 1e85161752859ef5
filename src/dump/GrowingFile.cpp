#include "dump/GrowingFile.h"

#include <algorithm>
#include <chrono>

#include "jobs/JobContext.h"

void CGrowingFile::Publish(uint64_t size) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_created = true;
        m_size = size;
    }
    m_changed.notify_all();
}

void CGrowingFile::Finish(uint64_t size) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_created = true;
        m_size = size;
        m_finished = true;
    }
    m_changed.notify_all();
}

void CGrowingFile::Fail(const std::u16string& error) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failed = true;
        m_ownFailure = !Abandoned();
        m_error = error;
    }
    m_changed.notify_all();
}

bool CGrowingFile::WaitFor(uint64_t wanted, uint64_t& size, bool& finished) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto ready = [&] {
        return (m_created && m_size >= wanted) || m_finished || m_failed || Abandoned();
    };
    // A writer that is slow or stuck must not make the reader deaf to a cancel.
    bool cancelled = false;
    while (!ready()) {
        if (m_readerJob != nullptr && m_readerJob->IsCancelled()) {
            cancelled = true;
            break;
        }
        m_changed.wait_for(lock, std::chrono::milliseconds(kCancelPollMs), ready);
    }
    size = m_size;
    finished = m_finished;
    return !cancelled && !m_failed && !Abandoned();
}

void CGrowingFile::Abandon() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_abandoned.store(true, std::memory_order_relaxed);
    }
    m_changed.notify_all();
}

bool CGrowingFile::Ended() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished || m_failed;
}

bool CGrowingFile::Failed(std::u16string& error) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_ownFailure) error = m_error;
    return m_ownFailure;
}

int CGrowingFile::ReaderPercent() const {
    uint64_t size = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        size = m_size;
    }
    const uint64_t read = std::min(m_readOffset.load(std::memory_order_relaxed), size);
    if (size == 0) return 0;
    return static_cast<int>(static_cast<uint64_t>(m_percent.load(std::memory_order_relaxed)) *
                            read / size);
}
