#include "app/OutputTarget.h"

#include "dump/DetectDumpKind.h"
#include "platform/File.h"

std::vector<std::u16string> DumpFilesOf(const std::u16string& dumpPath) {
    std::vector<std::u16string> files{dumpPath};
    DumpKind kind;
    std::u16string tocPath;
    std::u16string ignored;
    if (!DetectDumpKind(dumpPath, kind, tocPath, ignored) || kind != DumpKind::DirectoryDump) {
        return files;
    }
    const size_t slash = tocPath.rfind(u'/');
    const std::u16string folder = slash == std::u16string::npos ? u"." : tocPath.substr(0, slash);
    std::vector<std::u16string> names;
    if (!platform::ListDirectory(folder, names)) return files;
    for (const std::u16string& name : names) files.push_back(folder + u"/" + name);
    return files;
}

bool CheckOutputIsNotDump(const std::u16string& dumpPath, const std::u16string& output,
                          std::u16string& error) {
    platform::FileIdentity target;
    if (!platform::GetFileIdentity(output, target)) return true;
    for (const std::u16string& file : DumpFilesOf(dumpPath)) {
        platform::FileIdentity identity;
        if (platform::GetFileIdentity(file, identity) && identity == target) {
            error = u"出力先に読み込み中のダンプファイルは指定できません(" + output + u")。";
            return false;
        }
    }
    return true;
}
