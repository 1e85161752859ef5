#include "dump/DetectDumpKind.h"

#include <cstring>

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
    if (n >= 3 && head[0] == 0x1F && head[1] == 0x8B && head[2] == 0x08) {
        kind = DumpKind::GzipPlainSql;
        return true;
    }
    if (n >= 262 && std::memcmp(head + 257, "ustar", 5) == 0) {
        error =
            u"tar 形式(pg_dump -Ft)のダンプは対象外です。-Fc(Custom)、-Fd(Directory)、-Fp(Plain "
            u"SQL)で出力してください。";
        return false;
    }
    if (std::memchr(head, 0, static_cast<size_t>(n)) != nullptr) {
        error = u"pg_dump / pg_dumpall で出力された PostgreSQL のダンプファイルではありません。";
        return false;
    }
    kind = DumpKind::PlainSql;
    return true;
}
