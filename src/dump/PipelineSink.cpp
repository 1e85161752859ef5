#include "dump/PipelineSink.h"

#include <algorithm>
#include <cstring>

CPipelineSink::CPipelineSink(IDataSink& consumer, IJobContext* job)
    : m_consumer(consumer), m_job(job) {}

void CPipelineSink::CProducerJob::SetMessage(const std::u16string& text) {
    if (!m_pipe.m_thread.joinable()) {
        m_pipe.m_job->SetMessage(text);
        return;
    }
    std::lock_guard<std::mutex> lock(m_pipe.m_mutex);
    m_pipe.m_message = text;
    m_pipe.m_messageWaiting = true;
}

void CPipelineSink::CProducerJob::SetProgress(int percent) {
    if (!m_pipe.m_thread.joinable()) {
        m_pipe.m_job->SetProgress(percent);
        return;
    }
    std::lock_guard<std::mutex> lock(m_pipe.m_mutex);
    m_pipe.m_progress = percent;
}

void CPipelineSink::TakeReports(std::unique_lock<std::mutex>& lock) {
    if (m_job == nullptr || (m_progress < 0 && !m_messageWaiting)) return;
    const int progress = m_progress;
    std::u16string message;
    const bool messageWaiting = m_messageWaiting;
    if (messageWaiting) message.swap(m_message);
    m_progress = -1;
    m_messageWaiting = false;
    if (lock.owns_lock()) lock.unlock();
    if (messageWaiting) m_job->SetMessage(message);
    if (progress >= 0) m_job->SetProgress(progress);
    lock.lock();
}

CPipelineSink::~CPipelineSink() {
    Stop();
}

bool CPipelineSink::Deliver(const char* data, size_t length) {
    try {
        return m_consumer.Write(data, length);
    } catch (...) {
        m_thrown = std::current_exception();
        return false;
    }
}

bool CPipelineSink::Write(const char* data, size_t length) {
    while (length > 0) {
        size_t room = 0;
        char* space = Reserve(room);
        if (space == nullptr) return false;
        const size_t take = std::min(length, room);
        std::memcpy(space, data, take);
        data += take;
        length -= take;
        m_fill += take;
        if (m_fill == kBufferSize && !Submit()) return false;
    }
    return Accepting();
}

char* CPipelineSink::Reserve(size_t& room) {
    room = 0;
    if (m_fill == kBufferSize && !Submit()) return nullptr;
    if (!m_buffers[m_active]) {
        m_buffers[m_active] = std::make_unique_for_overwrite<char[]>(kBufferSize);
    }
    room = kBufferSize - m_fill;
    return m_buffers[m_active].get() + m_fill;
}

bool CPipelineSink::Commit(size_t length) {
    m_fill += std::min(length, kBufferSize - m_fill);
    if (m_fill == kBufferSize && !Submit()) return false;
    return Accepting();
}

bool CPipelineSink::Accepting() {
    if (!m_thread.joinable()) return !m_refused;
    // A refusal stops the producer at its next piece, not only at the next buffer.
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_refused;
}

bool CPipelineSink::Submit() {
    if (!m_thread.joinable()) {
        if (m_refused) return false;
        m_thread = std::thread(&CPipelineSink::Run, this);
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_refused) return false;
    m_queue.emplace_back(m_active, m_fill);
    ++m_busy;
    m_changed.notify_all();
    // The next buffer must be free: wait while every one is queued or being consumed.
    m_changed.wait(lock, [this] { return m_busy < kBufferCount || m_refused; });
    if (m_refused) return false;
    // Buffers are consumed in order, so the one after the oldest busy one is free.
    m_active = (m_active + 1) % kBufferCount;
    m_fill = 0;
    return true;
}

void CPipelineSink::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) return;  // stopped
        const auto [index, length] = m_queue.front();
        m_queue.pop_front();
        bool accepted = false;
        if (!m_refused) {
            TakeReports(lock);
            lock.unlock();
            accepted = Deliver(m_buffers[index].get(), length);
            lock.lock();
        }
        if (!accepted) m_refused = true;
        --m_busy;
        m_changed.notify_all();
    }
}

bool CPipelineSink::Finish() {
    bool ok;
    if (m_thread.joinable()) {
        if (m_fill > 0) Submit();
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_busy == 0; });
            m_stop = true;
            ok = !m_refused;
        }
        m_changed.notify_all();
        m_thread.join();
        // What the producer reported last, now that only this thread is left.
        std::unique_lock<std::mutex> lock(m_mutex);
        TakeReports(lock);
    } else {
        ok = !m_refused && (m_fill == 0 || Deliver(m_buffers[m_active].get(), m_fill));
        m_refused = !ok;
    }
    m_fill = 0;
    if (m_thrown) {
        std::exception_ptr thrown = m_thrown;
        m_thrown = nullptr;
        std::rethrow_exception(thrown);
    }
    return ok;
}

void CPipelineSink::Stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Whatever is still queued is dropped: nobody waits for it any more.
        m_queue.clear();
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}
