#include "platform/TempFiles.h"

#include <atomic>
#include <vector>

#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/WideChar.h"

namespace {

std::atomic<int32_t> g_tempCounter{0};

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
    const int32_t n = ++g_tempCounter;
    return GetTempDirectory() + GetTempFilePrefix() + platform::FormatDecimal(n) +
           (extension != nullptr ? extension : u".tmp");
}

void DeleteTempFiles() {
    const std::u16string folder = platform::GetKalvexTempFolder();
    const std::u16string prefix = GetTempFilePrefix();
    std::vector<std::u16string> names;
    if (!platform::ListDirectory(folder, names)) return;
    for (const std::u16string& name : names) {
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::u16string path = folder + name;
        if (platform::GetPathKind(path) == platform::PathKind::File) platform::DeleteFile(path);
    }
}
