#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/File.h"

// Writes the spool file on a thread of its own, one buffer at a time, so that copying the
// next buffer and finding its rows overlaps with the kernel taking the previous one.
// Buffers alternate between two; a buffer handed over is not touched again until the next
// hand-over has been accepted.
class CSpoolWriter {
public:
    static constexpr size_t kBufferSize = 1 << 20;

    CSpoolWriter() = default;
    ~CSpoolWriter() { Finish(); }
    CSpoolWriter(const CSpoolWriter&) = delete;
    CSpoolWriter& operator=(const CSpoolWriter&) = delete;

    // Starts writing into an open file; the file must outlive Finish.
    void Start(platform::CFile& file);
    // The buffer to fill next.
    char* Buffer() { return m_buffers[m_active].get(); }
    // Hands over the first length bytes of Buffer(); waits while the previous hand-over is
    // still being written. False once any write has failed.
    bool Submit(size_t length);
    // Waits for the last write and stops the thread; true when every write succeeded.
    bool Finish();

private:
    void Run();

    platform::CFile* m_file = nullptr;
    std::unique_ptr<char[]> m_buffers[2];
    int m_active = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const char* m_pending = nullptr;
    size_t m_pendingLength = 0;
    bool m_stop = false;
    bool m_ok = true;
};
