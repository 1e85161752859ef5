#include "cli/CliOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <vector>

#include "cli/CliJob.h"
#include "platform/File.h"
#include "platform/Utf8.h"

namespace {

bool g_failed = false;
int g_errno = 0;

void Failed() {
    if (!g_failed) g_errno = errno;
    g_failed = true;
}

}  // namespace

void PrepareStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // A read-only /dev/null in the gap: writes to it fail, as they would have.
        const int taken = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (taken >= 0 && taken != fd) ::close(taken);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

bool WriteOut(const char* data, size_t length) {
    if (g_failed) return false;
    if (length > 0 && std::fwrite(data, 1, length, stdout) != length) Failed();
    return !g_failed;
}

bool PrintOutUtf8(const std::string& text) {
    return WriteOut(text.data(), text.size());
}

bool PrintOut(const std::u16string& text) {
    return PrintOutUtf8(platform::Utf16ToUtf8(text));
}

void PrintErrUtf8(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void PrintErr(const std::u16string& text) {
    PrintErrUtf8(platform::Utf16ToUtf8(text));
}

bool OutputFailed() {
    return g_failed;
}

bool FinishOutput() {
    if (!g_failed && std::fflush(stdout) != 0) Failed();
    // Closing reports a write the system delayed (a full disk on some file systems).
    if (std::fclose(stdout) != 0 && !g_failed) Failed();
    return !g_failed;
}

bool OutputPipeClosed() {
    return g_failed && g_errno == EPIPE;
}

bool CopyFileToOut(const std::u16string& path) {
    platform::CFile file;
    if (!file.OpenRead(path, platform::CFile::AccessHint::Sequential)) return false;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const int64_t n = file.Read(buffer.data(), buffer.size());
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteOut(buffer.data(), static_cast<size_t>(n))) return false;
    }
}

std::u16string TsvField(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        switch (c) {
            case u'\\':
                out += u"\\\\";
                break;
            case u'\t':
                out += u"\\t";
                break;
            case u'\n':
                out += u"\\n";
                break;
            case u'\r':
                out += u"\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

int SendTempFileToOut(const std::u16string& path, const std::u16string& writeFailure,
                      CCliJobContext& job) {
    const bool copied = CopyFileToOut(path);
    platform::DeleteFile(path);
    if (copied) return kExitOk;
    // A failed write is reported once, when the output is closed.
    if (OutputFailed()) return kExitFailure;
    return job.Fail(writeFailure);
}
