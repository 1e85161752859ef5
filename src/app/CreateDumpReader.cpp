#include "app/CreateDumpReader.h"

#include "dump/ArchiveDump.h"
#include "dump/DetectDumpKind.h"
#include "plain/PlainDump.h"

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
        case DumpKind::TarArchive: {
            auto reader = std::make_unique<CArchiveDump>();
            if (!reader->OpenTar(path, error)) return nullptr;
            return reader;
        }
        case DumpKind::GzipPlainSql:
        case DumpKind::Lz4PlainSql:
        case DumpKind::ZstdPlainSql:
        case DumpKind::PlainSql: {
            // Opening a script reads nothing; the scan does the work.
            auto reader = std::make_unique<CPlainDump>();
            reader->Open(path, kind == DumpKind::GzipPlainSql   ? StreamFormat::Gzip
                               : kind == DumpKind::Lz4PlainSql  ? StreamFormat::Lz4
                               : kind == DumpKind::ZstdPlainSql ? StreamFormat::Zstd
                                                                : StreamFormat::Plain);
            return reader;
        }
    }
    return nullptr;
}
