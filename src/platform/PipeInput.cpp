#include "platform/PipeInput.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/File.h"

namespace platform {

namespace {

// The descriptor number a path of the process's own descriptors names, or -1.
int OwnDescriptor(const std::string& path) {
    if (path == "/dev/stdin") return STDIN_FILENO;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::string start = prefix;
        if (path.size() <= start.size() || path.compare(0, start.size(), start) != 0) continue;
        int fd = 0;
        for (size_t i = start.size(); i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9' || fd > 100000) return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return -1;
}

}  // namespace

bool CPipeInput::Open(const std::u16string& path) {
    Close();
    const std::string native = PathToNative(path);
    const int own = OwnDescriptor(native);
    if (own >= 0) {
        m_fd = ::fcntl(own, F_DUPFD_CLOEXEC, 0);
    } else {
        // Without O_NONBLOCK the open would wait for a writer, deaf to any cancel.
        do {
            m_fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        } while (m_fd < 0 && errno == EINTR);
    }
    if (m_fd < 0) return false;
    struct stat st;
    if (::fstat(m_fd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        Close();
        return false;
    }
    return true;
}

void CPipeInput::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int64_t CPipeInput::Read(void* buffer, size_t length, int waitMs) {
    if (m_fd < 0) return -1;
    struct pollfd wait {};
    wait.fd = m_fd;
    wait.events = POLLIN;
    const int ready = ::poll(&wait, 1, waitMs);
    if (ready < 0) return errno == EINTR ? kNothingYet : -1;
    // A FIFO nobody has opened for writing yet reports nothing: that is not its end.
    if (ready == 0 || (wait.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return kNothingYet;
    ssize_t n;
    do {
        n = ::read(m_fd, buffer, length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno == EAGAIN ? kNothingYet : -1;
    return n;
}

}  // namespace platform
