#include "dump/CreateDumpReader.h"

#include "dump/ArchiveDump.h"
#include "dump/DetectDumpKind.h"

std::unique_ptr<IDumpFile> CreateDumpReader(const std::u16string& path, std::u16string& error) {
    DumpKind kind;
    std::u16string tocPath;
    if (!DetectDumpKind(path, kind, tocPath, error)) return nullptr;
    switch (kind) {
        case DumpKind::DirectoryDump:
        case DumpKind::CustomArchive: {
            auto reader = std::make_unique<CArchiveDump>();
            const bool directory = kind == DumpKind::DirectoryDump;
            if (!reader->Open(directory ? tocPath : path, directory, error)) return nullptr;
            return reader;
        }
        case DumpKind::GzipPlainSql:
        case DumpKind::PlainSql:
            break;
    }
    // Plain scripts get their reader with the script scanner.
    error = u"プレーン SQL 形式のダンプにはまだ対応していません。";
    return nullptr;
}
