#include "support/TempFileList.h"

#include <vector>

#include "platform/File.h"
#include "platform/TempFiles.h"

std::set<std::u16string> TempFilesOfThisProcess() {
    std::vector<std::u16string> names;
    platform::ListDirectory(GetTempDirectory(), names);
    std::set<std::u16string> ours;
    const std::u16string prefix = GetTempFilePrefix();
    for (const std::u16string& name : names) {
        if (name.rfind(prefix, 0) == 0) ours.insert(name);
    }
    return ours;
}
