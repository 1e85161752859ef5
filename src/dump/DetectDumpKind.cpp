#include "dump/DetectDumpKind.h"

#include <cstring>

#include "dump/StreamDecoder.h"
#include "platform/AsciiCase.h"
#include "platform/File.h"

namespace {

constexpr size_t kProbeSize = 4096;

std::u16string CannotOpen(const std::u16string& path) {
    return u"ダンプファイルをオープンできません(" + path + u")。";
}

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool EqualsTocDat(const std::u16string& name) {
    return platform::EqualsIgnoringAsciiCase(name, u"toc.dat");
}

}  // namespace

bool DetectDumpKind(const std::u16string& path, DumpKind& kind, std::u16string& tocPath,
                    std::u16string& error) {
    const platform::PathKind pathKind = platform::GetPathKind(path);
    if (pathKind == platform::PathKind::Missing) {
        error = CannotOpen(path);
        return false;
    }

    std::u16string toc;
    if (pathKind == platform::PathKind::Directory) {
        toc = IsSeparator(path.back()) ? path + u"toc.dat" : path + u"/toc.dat";
    } else {
        size_t slash = path.find_last_of(u"\\/");
        std::u16string fileName = slash == std::u16string::npos ? path : path.substr(slash + 1);
        if (EqualsTocDat(fileName)) toc = path;
    }
    if (!toc.empty()) {
        if (platform::GetPathKind(toc) == platform::PathKind::Missing) {
            error =
                u"フォルダに toc.dat がありません。pg_dump -Fd "
                u"で出力したフォルダを指定してください。";
            return false;
        }
        kind = DumpKind::DirectoryDump;
        tocPath = toc;
        return true;
    }

    unsigned char head[kProbeSize] = {};
    int64_t n = 0;
    {
        platform::CFile file;
        if (!file.OpenRead(path)) {
            error = CannotOpen(path);
            return false;
        }
        n = file.ReadFull(head, kProbeSize);
        if (n < 0) n = 0;
    }

    if (n == 0) {
        error = u"ファイルが空です。";
        return false;
    }
    if (n >= 5 && std::memcmp(head, "PGDMP", 5) == 0) {
        kind = DumpKind::CustomArchive;
        return true;
    }
    switch (SniffStreamFormat(head, static_cast<size_t>(n))) {
        case StreamFormat::Gzip:
            kind = DumpKind::GzipPlainSql;
            return true;
        case StreamFormat::Lz4:
            kind = DumpKind::Lz4PlainSql;
            return true;
        case StreamFormat::Zstd:
            kind = DumpKind::ZstdPlainSql;
            return true;
        case StreamFormat::Plain:
            break;
    }
    // Both the POSIX and the older GNU tar headers carry these five bytes.
    if (n >= 262 && std::memcmp(head + 257, "ustar", 5) == 0) {
        kind = DumpKind::TarArchive;
        return true;
    }
    if (std::memchr(head, 0, static_cast<size_t>(n)) != nullptr) {
        error = u"pg_dump / pg_dumpall で出力された PostgreSQL のダンプファイルではありません。";
        return false;
    }
    kind = DumpKind::PlainSql;
    return true;
}
