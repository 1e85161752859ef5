#include "platform/TempFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/File.h"
#include "platform/OutputFile.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "platform/WideChar.h"

namespace {

std::atomic<int32_t> g_tempCounter{0};

// What the signal handler needs, kept as plain bytes: it may not allocate.
std::mutex g_signalMutex;
char g_signalFolder[4096];
char g_signalPrefix[32];
std::atomic<bool> g_signalReady{false};

void RememberForSignal(const std::u16string& folder, const std::u16string& prefix) {
    std::string nativeFolder = platform::PathToNative(folder);
    // Without the trailing "/", so that O_NOFOLLOW applies to the folder itself.
    while (nativeFolder.size() > 1 && nativeFolder.back() == '/') nativeFolder.pop_back();
    const std::string nativePrefix = platform::PathToNative(prefix);
    if (nativeFolder.size() >= sizeof g_signalFolder ||
        nativePrefix.size() >= sizeof g_signalPrefix) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_signalMutex);
    if (g_signalReady.load() && nativeFolder == g_signalFolder && nativePrefix == g_signalPrefix) {
        return;
    }
    g_signalReady.store(false);
    std::memcpy(g_signalFolder, nativeFolder.c_str(), nativeFolder.size() + 1);
    std::memcpy(g_signalPrefix, nativePrefix.c_str(), nativePrefix.size() + 1);
    g_signalReady.store(true);
}

bool PathTaken(const std::u16string& path) {
    struct stat st;
    return ::lstat(platform::PathToNative(path).c_str(), &st) == 0;
}

// The process id of a name "kvx_<pid>_...", or 0 when the name is not of that form.
pid_t OwnerOf(const std::u16string& name) {
    if (name.compare(0, 4, u"kvx_") != 0) return 0;
    uint64_t pid = 0;
    size_t i = 4;
    for (; i < name.size() && name[i] >= u'0' && name[i] <= u'9' && i < 14; ++i) {
        pid = pid * 10 + static_cast<uint64_t>(name[i] - u'0');
    }
    if (i == 4 || i >= name.size() || name[i] != u'_' || pid == 0 || pid > 0x7FFFFFFF) return 0;
    return static_cast<pid_t>(pid);
}

bool ProcessRunning(pid_t pid) {
    // EPERM: it runs, under another user.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

}  // namespace

std::u16string GetTempDirectory() {
    std::u16string folder = platform::GetKalvexTempFolder();
    platform::CreateDirectories(folder);
    return folder;
}

std::u16string GetTempFilePrefix() {
    return u"kvx_" + platform::FormatDecimal(platform::GetCurrentProcessId()) + u"_";
}

std::u16string MakeTempFilePath(const char16_t* extension) {
    const std::u16string folder = GetTempDirectory();
    const std::u16string prefix = GetTempFilePrefix();
    RememberForSignal(folder, prefix);
    std::u16string path;
    // Bounded, whatever is planted there; the creation of the file reports a failure.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int32_t n = ++g_tempCounter;
        path = folder + prefix + platform::FormatDecimal(n) +
               (extension != nullptr ? extension : u".tmp");
        if (!PathTaken(path)) break;
    }
    return path;
}

bool CreateTempFile(const char16_t* extension, std::u16string& path) {
    path = MakeTempFilePath(extension);
    platform::CFile file;
    return file.OpenWritePrivate(path);
}

void DeleteTempFiles() {
    platform::DeletePendingOutputFiles();
    const std::u16string folder = platform::GetKalvexTempFolder();
    // Files are only ever made in a private folder; names elsewhere are somebody else's.
    if (!platform::IsPrivateFolder(folder)) return;
    const std::u16string prefix = GetTempFilePrefix();
    std::vector<std::u16string> names;
    if (!platform::ListDirectory(folder, names)) return;
    for (const std::u16string& name : names) {
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::u16string path = folder + name;
        if (platform::GetPathKind(path) == platform::PathKind::File) platform::DeleteFile(path);
    }
}

void RemoveStaleTempFiles() {
    const std::u16string folder = platform::GetKalvexTempFolder();
    // Only in a folder that is ours: elsewhere the names could be anybody's.
    if (!platform::IsPrivateFolder(folder)) return;
    std::vector<std::u16string> names;
    if (!platform::ListDirectory(folder, names)) return;
    const pid_t self = ::getpid();
    for (const std::u16string& name : names) {
        const pid_t owner = OwnerOf(name);
        if (owner == 0 || owner == self || ProcessRunning(owner)) continue;
        const std::string path = platform::PathToNative(folder + name);
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(path.c_str());
    }
}

void DeleteTempFilesFromSignal() {
    platform::DeletePendingOutputFilesFromSignal();
    if (!g_signalReady.load()) return;
    const int dir = ::open(g_signalFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return;
    struct stat st;
    if (::fstat(dir, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        ::close(dir);
        return;
    }
    const size_t prefixLength = std::strlen(g_signalPrefix);
    // getdents64 instead of readdir, which may allocate.
    alignas(8) char buffer[8192];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
        if (n <= 0) break;
        for (long at = 0; at < n;) {
            struct Entry {
                uint64_t inode;
                int64_t offset;
                unsigned short length;
                unsigned char type;
                char name[1];
            };
            const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
            if (entry->length == 0) break;
            at += entry->length;
            if (entry->type == DT_DIR) continue;
            if (std::strncmp(entry->name, g_signalPrefix, prefixLength) == 0) {
                ::unlinkat(dir, entry->name, 0);
            }
        }
    }
    ::close(dir);
}
