#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "dump/DetectDumpKind.h"
#include "platform/Utf8.h"

int RunDetectCommand(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        PrintErrUtf8("usage: kalvex-cli detect PATH\n");
        return kExitUsage;
    }
    const std::u16string path = platform::Utf8ToUtf16(args[0]);
    DumpKind kind;
    std::u16string tocPath, error;
    if (!DetectDumpKind(path, kind, tocPath, error)) {
        PrintErr(error + u"\n");
        return kExitFailure;
    }
    switch (kind) {
        case DumpKind::CustomArchive:
            PrintOutUtf8("custom archive\n");
            break;
        case DumpKind::DirectoryDump:
            PrintOut(u"directory dump: " + tocPath + u"\n");
            break;
        case DumpKind::TarArchive:
            PrintOutUtf8("tar archive\n");
            break;
        case DumpKind::GzipPlainSql:
            PrintOutUtf8("plain SQL script (gzip)\n");
            break;
        case DumpKind::Lz4PlainSql:
            PrintOutUtf8("plain SQL script (lz4)\n");
            break;
        case DumpKind::ZstdPlainSql:
            PrintOutUtf8("plain SQL script (zstd)\n");
            break;
        case DumpKind::PlainSql:
            PrintOutUtf8("plain SQL script\n");
            break;
    }
    return kExitOk;
}
