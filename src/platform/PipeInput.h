#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The read end of a pipe or FIFO, read in waits short enough to let the caller poll for a
// cancel: neither the open nor a read ever blocks for longer than the wait asked for.
class CPipeInput {
public:
    static constexpr int64_t kNothingYet = -2;

    CPipeInput() = default;
    ~CPipeInput() { Close(); }
    CPipeInput(const CPipeInput&) = delete;
    CPipeInput& operator=(const CPipeInput&) = delete;

    // /dev/stdin, /dev/fd/N and /proc/self/fd/N use the descriptor this process already
    // has (opening them anew would lose the end of a pipe whose writer is gone); any
    // other path must be a FIFO. False when the path is no pipe or cannot be opened.
    bool Open(const std::u16string& path);
    void Close();

    // Bytes read (more than 0), 0 at the end, -1 on failure, or kNothingYet when nothing
    // came within waitMs.
    int64_t Read(void* buffer, size_t length, int waitMs);

private:
    int m_fd = -1;
};

}  // namespace platform
