#include "cli/CliJob.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iterator>

#include "cli/CliOutput.h"
#include "platform/Utf8.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

// Ending the session or the terminal stops a command as Ctrl+C does: the job cancels and
// the command cleans up after itself.
constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

CCliJobContext::CCliJobContext() : m_terminal(::isatty(STDERR_FILENO) == 1) {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kCancelSignals); ++i) {
        ::sigaction(kCancelSignals[i], nullptr, &m_previous[i]);
        // nohup's choice stands.
        if (kCancelSignals[i] != SIGINT && m_previous[i].sa_handler == SIG_IGN) continue;
        ::sigaction(kCancelSignals[i], &action, nullptr);
    }
}

CCliJobContext::~CCliJobContext() {
    EndProgress();
    for (size_t i = 0; i < std::size(kCancelSignals); ++i) {
        ::sigaction(kCancelSignals[i], &m_previous[i], nullptr);
    }
}

bool CCliJobContext::IsCancelled() const {
    return g_interrupted != 0;
}

void CCliJobContext::SetMessage(const std::u16string& text) {
    if (text == m_message) return;
    m_message = text;
    Draw();
}

void CCliJobContext::SetProgress(int percent) {
    if (percent == m_percent) return;
    m_percent = percent;
    Draw();
}

void CCliJobContext::Draw() {
    if (!m_terminal) return;
    std::string line = "\r\x1b[K" + platform::Utf16ToUtf8(m_message);
    if (m_percent >= 0) line += " " + std::to_string(m_percent) + "%";
    PrintErrUtf8(line);
    m_drawn = true;
}

int CCliJobContext::Fail(const std::u16string& error) {
    EndProgress();
    PrintErr((error.empty() ? std::u16string(kCancelledMessage) : error) + u"\n");
    return kExitFailure;
}

void CCliJobContext::EndProgress() {
    if (m_drawn) PrintErrUtf8("\r\x1b[K");
    m_drawn = false;
}
