#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/Environment.h"
#include "platform/Utf8.h"

namespace platform {

namespace {

std::u16string WithTrailingSlash(std::u16string path) {
    if (path.empty() || path.back() != u'/') path += u'/';
    return path;
}

std::u16string HomeFolder() {
    std::u16string home;
    if (GetEnvironmentVariable("HOME", &home) && !home.empty()) return home;
    struct passwd* pw = ::getpwuid(::getuid());
    if (pw != nullptr && pw->pw_dir != nullptr) return Utf8ToUtf16(std::string(pw->pw_dir));
    return u"/tmp";
}

}  // namespace

std::u16string GetSystemTempPath() {
    std::u16string dir;
    if (GetEnvironmentVariable("TMPDIR", &dir) && !dir.empty()) return WithTrailingSlash(dir);
    return u"/tmp/";
}

std::u16string GetKalvexTempFolder() {
    return GetSystemTempPath() + u"Kalvex/";
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
