#include "support/ChildWatchdog.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

std::optional<std::string> RunInChild(const std::function<std::string()>& body, int seconds) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::close(fds[0]);
        const std::string result = body();
        size_t done = 0;
        while (done < result.size()) {
            const ssize_t n = ::write(fds[1], result.data() + done, result.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool ended = false;
    while (std::chrono::steady_clock::now() < deadline) {
        struct pollfd wait {};
        wait.fd = fds[0];
        wait.events = POLLIN;
        if (::poll(&wait, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            ended = true;
            break;
        }
        result.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (!ended) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return result;
}
