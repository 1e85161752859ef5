#include "store/SpoolWriter.h"

void CSpoolWriter::Start(platform::CFile& file) {
    Finish();
    for (auto& buffer : m_buffers) {
        if (!buffer) buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    }
    m_file = &file;
    m_active = 0;
    m_pending = nullptr;
    m_pendingLength = 0;
    m_stop = false;
    m_ok = true;
    m_thread = std::thread(&CSpoolWriter::Run, this);
}

bool CSpoolWriter::Submit(size_t length) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pending == nullptr; });
    if (!m_ok) return false;
    if (length > 0) {
        m_pending = m_buffers[m_active].get();
        m_pendingLength = length;
        m_active = 1 - m_active;
        m_changed.notify_all();
    }
    return true;
}

bool CSpoolWriter::Finish() {
    if (!m_thread.joinable()) return m_ok;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pending == nullptr; });
        m_stop = true;
        m_changed.notify_all();
    }
    m_thread.join();
    m_file = nullptr;
    return m_ok;
}

void CSpoolWriter::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending != nullptr || m_stop; });
        if (m_pending == nullptr) return;
        const char* data = m_pending;
        const size_t length = m_pendingLength;
        lock.unlock();
        const bool written = m_file->WriteAll(data, length);
        lock.lock();
        if (!written) m_ok = false;
        m_pending = nullptr;
        m_changed.notify_all();
    }
}
