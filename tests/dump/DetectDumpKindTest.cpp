#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>

#include "dump/DetectDumpKind.h"
#include "support/Fixtures.h"
#include "support/TestPaths.h"

namespace {

const std::u16string kNotDump =
    u"pg_dump / pg_dumpall で出力された PostgreSQL のダンプファイルではありません。";
const std::u16string kNoToc =
    u"フォルダに toc.dat がありません。pg_dump -Fd で出力したフォルダを指定してください。";
const std::u16string kEmpty = u"ファイルが空です。";

std::u16string CannotOpen(const std::u16string& path) {
    return u"ダンプファイルをオープンできません(" + path + u")。";
}

struct Outcome {
    bool ok;
    DumpKind kind;
    std::u16string toc;
    std::u16string error;
};

Outcome Detect(const std::u16string& path) {
    Outcome o{};
    o.kind = DumpKind::PlainSql;
    o.ok = DetectDumpKind(path, o.kind, o.toc, o.error);
    return o;
}

Outcome Detect(const std::string& path) {
    return Detect(U16(path));
}

}  // namespace

TEST(DetectDumpKindTest, ClassifiesByLeadingBytes) {
    ScratchDir dir;
    std::string tarHeader(512, '\0');
    tarHeader.replace(0, 8, "toc.dat");
    tarHeader.replace(257, 6, std::string("ustar\0", 6));
    std::string gnuTar = tarHeader;
    gnuTar.replace(257, 8, "ustar  \0");
    std::string lateNul = std::string(4096, 'x') + std::string(1, '\0') + "tail";

    struct Case {
        const char* name;
        std::string bytes;
        bool ok;
        DumpKind kind;
        std::u16string error;
    };
    const Case cases[] = {
        {"archive.sql", std::string("PGDMP\x01\x0e\x00", 8), true, DumpKind::CustomArchive, u""},
        {"script.gz", "SET x = 1;\n", true, DumpKind::PlainSql, u""},
        {"script.sql", std::string("\x1f\x8b\x08\x00\x00", 5), true, DumpKind::GzipPlainSql, u""},
        {"script.zst", std::string("\x04\x22\x4d\x18\x64", 5), true, DumpKind::Lz4PlainSql, u""},
        {"script.lz4", std::string("\x28\xb5\x2f\xfd\x00", 5), true, DumpKind::ZstdPlainSql, u""},
        // Three of the four magic bytes are not enough.
        {"lz4-3", std::string("\x04\x22\x4d", 3), true, DumpKind::PlainSql, u""},
        // Too short for the magic, and without NUL bytes: a plain script.
        {"pgdm", "PGDM", true, DumpKind::PlainSql, u""},
        {"gz2", "\x1f\x8b", true, DumpKind::PlainSql, u""},
        {"gz-store", std::string("\x1f\x8b\x07\x00", 4), false, DumpKind::PlainSql, kNotDump},
        {"utf16", std::string("\xff\xfe-\0-\0", 6), false, DumpKind::PlainSql, kNotDump},
        {"tar", tarHeader, true, DumpKind::TarArchive, u""},
        {"gnutar", gnuTar, true, DumpKind::TarArchive, u""},
        {"shorttar", tarHeader.substr(0, 261), false, DumpKind::PlainSql, kNotDump},
        {"late-nul", lateNul, true, DumpKind::PlainSql, u""},
        {"empty", "", false, DumpKind::PlainSql, kEmpty},
        {"binary",
         std::string("\x7f"
                     "ELF\x02\x01\x01\x00",
                     8),
         false, DumpKind::PlainSql, kNotDump},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome o = Detect(dir.Write(c.name, c.bytes));
        EXPECT_EQ(o.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(o.kind, c.kind);
        } else {
            EXPECT_EQ(o.error, c.error);
        }
    }
}

TEST(DetectDumpKindTest, DirectoryDumpsThroughTheirTocFile) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("dump"));
    std::filesystem::create_directory(dir.File("nodump"));
    dir.Write("dump/toc.dat", std::string("PGDMP\x01\x0e\x00", 8));
    dir.Write("TOC.DAT", "not even an archive");

    Outcome plain = Detect(dir.File("dump"));
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.kind, DumpKind::DirectoryDump);
    EXPECT_EQ(plain.toc, U16(dir.File("dump/toc.dat")));

    Outcome slash = Detect(dir.File("dump") + "/");
    ASSERT_TRUE(slash.ok);
    EXPECT_EQ(slash.toc, U16(dir.File("dump/toc.dat")));

    // The file itself, in any letter case, is taken as the toc of a directory dump.
    Outcome upper = Detect(dir.File("TOC.DAT"));
    ASSERT_TRUE(upper.ok);
    EXPECT_EQ(upper.kind, DumpKind::DirectoryDump);
    EXPECT_EQ(upper.toc, U16(dir.File("TOC.DAT")));

    Outcome empty = Detect(dir.File("nodump"));
    EXPECT_FALSE(empty.ok);
    EXPECT_EQ(empty.error, kNoToc);
}

TEST(DetectDumpKindTest, MissingAndUnreadablePaths) {
    ScratchDir dir;
    std::u16string missing = dir.FileW("日本語/なし.dump");
    Outcome o = Detect(missing);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, CannotOpen(missing));

    EXPECT_EQ(Detect(std::u16string()).error, CannotOpen(u""));

    // A socket exists but cannot be opened as a file, even by root.
    std::string sockPath = dir.File("sock");
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    Outcome sock = Detect(sockPath);
    ::close(fd);
    EXPECT_FALSE(sock.ok);
    EXPECT_EQ(sock.error, CannotOpen(U16(sockPath)));

    if (::geteuid() != 0) {
        std::string locked = dir.Write("locked.sql", "SELECT 1;");
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(Detect(locked).error, CannotOpen(U16(locked)));
    }
}

TEST(DetectDumpKindTest, EveryFixtureDumpMadeByPostgres) {
    std::vector<FixtureDump> dumps = LoadFixtureDumps();
    ASSERT_GE(dumps.size(), 20u);
    for (const FixtureDump& d : LoadPg18FixtureDumps()) dumps.push_back(d);
    for (const FixtureDump& d : dumps) {
        SCOPED_TRACE(d.file);
        const std::string path = FixturePath("dumps/" + d.file);
        Outcome o = Detect(path);
        ASSERT_TRUE(o.ok) << U8(o.error);
        if (d.format == "tar") {
            EXPECT_EQ(o.kind, DumpKind::TarArchive);
        } else if (d.format == "custom") {
            EXPECT_EQ(o.kind, DumpKind::CustomArchive);
        } else if (d.format == "directory") {
            EXPECT_EQ(o.kind, DumpKind::DirectoryDump);
            EXPECT_EQ(o.toc, U16(path + "/toc.dat"));
        } else if (d.compression == "gzip") {
            EXPECT_EQ(o.kind, DumpKind::GzipPlainSql);
        } else if (d.compression == "lz4") {
            EXPECT_EQ(o.kind, DumpKind::Lz4PlainSql);
        } else if (d.compression == "zstd") {
            EXPECT_EQ(o.kind, DumpKind::ZstdPlainSql);
        } else {
            EXPECT_EQ(o.kind, DumpKind::PlainSql);
        }
    }
    // Choosing the toc.dat inside the folder opens the same directory dump.
    Outcome toc = Detect(FixturePath("dumps/kx_main.dir/toc.dat"));
    ASSERT_TRUE(toc.ok);
    EXPECT_EQ(toc.kind, DumpKind::DirectoryDump);
}
