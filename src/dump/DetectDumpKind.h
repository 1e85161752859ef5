#pragma once

#include <string>

enum class DumpKind {
    CustomArchive,
    DirectoryDump,
    GzipPlainSql,
    Lz4PlainSql,
    ZstdPlainSql,
    TarArchive,
    PlainSql,
};

// Tells the kind of dump at path from the file system and the first 4,096 bytes,
// never from the file name's extension. For a directory dump tocPath is its toc.dat.
bool DetectDumpKind(const std::u16string& path, DumpKind& kind, std::u16string& tocPath,
                    std::u16string& error);
