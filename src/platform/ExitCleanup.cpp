#include "platform/ExitCleanup.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>

#include "platform/TempFiles.h"

namespace {

void DeleteAtExit() {
    DeleteTempFiles();
}

}  // namespace

extern "C" void ExitCleanupSignalHandler(int signal) {
    DeleteTempFilesFromSignal();
    // Ending through the default action keeps the exit status a shell expects.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);
}

void InstallExitCleanup() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    std::atexit(DeleteAtExit);
    struct sigaction action {};
    action.sa_handler = ExitCleanupSignalHandler;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction old {};
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}
