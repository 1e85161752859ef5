#include "platform/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/Utf8.h"

namespace platform {

namespace {

std::u16string WithTrailingSlash(std::u16string path) {
    if (path.empty() || path.back() != u'/') path += u'/';
    return path;
}

bool FindHomeFolder(std::u16string& home) {
    if (GetEnvironmentVariable("HOME", &home) && !home.empty()) return true;
    struct passwd* pw = ::getpwuid(::getuid());
    if (pw == nullptr || pw->pw_dir == nullptr || pw->pw_dir[0] == 0) return false;
    home = Utf8ToUtf16(std::string(pw->pw_dir));
    return true;
}

std::u16string HomeFolder() {
    std::u16string home;
    return FindHomeFolder(home) ? home : u"/tmp";
}

std::u16string UserIdText() {
    return Utf8ToUtf16(std::to_string(::geteuid()));
}

}  // namespace

std::u16string GetSystemTempPath() {
    std::u16string dir;
    if (GetEnvironmentVariable("TMPDIR", &dir) && !dir.empty()) return WithTrailingSlash(dir);
    return u"/tmp/";
}

std::u16string GetKalvexTempFolder() {
    std::u16string parent;
    if (!GetEnvironmentVariable("TMPDIR", &parent) || parent.empty()) {
        // Relative values are not allowed by the XDG rules and are ignored.
        if (!GetEnvironmentVariable("XDG_CACHE_HOME", &parent) || parent.empty() ||
            parent[0] != u'/') {
            std::u16string home;
            struct stat st;
            // Service accounts often have no home (/nonexistent): then the system's disk-backed
            // shared temporary folder.
            if (!FindHomeFolder(home) || ::stat(Utf16ToUtf8(home).c_str(), &st) != 0 ||
                !S_ISDIR(st.st_mode)) {
                return u"/var/tmp/Kalvex-" + UserIdText() + u"/";
            }
            parent = WithTrailingSlash(home) + u".cache";
        }
    }
    parent = WithTrailingSlash(parent);
    // A parent that is missing is created for this user alone.
    struct stat st;
    const bool shared = ::stat(Utf16ToUtf8(parent).c_str(), &st) == 0 &&
                        (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0);
    return parent + (shared ? u"Kalvex-" + UserIdText() : std::u16string(u"Kalvex")) + u"/";
}

std::u16string GetConfigFolder() {
    std::u16string base;
    // Relative values are not allowed by the XDG rules and are ignored.
    if (!GetEnvironmentVariable("XDG_CONFIG_HOME", &base) || base.empty() || base[0] != u'/') {
        base = WithTrailingSlash(HomeFolder()) + u".config";
    }
    return WithTrailingSlash(base) + u"Kalvex/";
}

std::u16string GetExecutablePath() {
    std::vector<char> buffer(4096);
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return Utf8ToUtf16(buffer.data(), static_cast<size_t>(n));
}

uint32_t GetCurrentProcessId() {
    return static_cast<uint32_t>(::getpid());
}

}  // namespace platform

namespace {

size_t LastSeparator(const std::u16string& path) {
    return path.find_last_of(u"\\/");
}

}  // namespace

std::u16string DirectoryOf(const std::u16string& path) {
    size_t pos = LastSeparator(path);
    return pos == std::u16string::npos ? std::u16string() : path.substr(0, pos + 1);
}

std::u16string FileNameOf(const std::u16string& path) {
    size_t pos = LastSeparator(path);
    return pos == std::u16string::npos ? path : path.substr(pos + 1);
}
