// Scripts that are not what they claim to be: random bytes, binary tails, a quote that
// never closes, one enormous line, damaged gzip files. Each ends with its message or a
// complete scan, in bounded memory, and leaves no temporary file behind.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <random>
#include <set>

#include "app/CreateDumpReader.h"
#include "plain/PlainDump.h"
#include "support/TempFileList.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

class CountingSink : public IDataSink {
public:
    bool Write(const char* data, size_t length) override {
        const char* end = data + length;
        for (const char* at = data;
             (at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr; ++at) {
            ++lines;
        }
        bytes += length;
        return true;
    }
    uint64_t bytes = 0;
    uint64_t lines = 0;
};

// Peak resident memory of the process from now on, against what it holds now.
class MemoryWatch {
public:
    MemoryWatch() {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
        reset.flush();
        m_ok = static_cast<bool>(reset);
        m_baseKb = Status("VmRSS:");
    }
    bool Available() const { return m_ok && m_baseKb > 0; }
    long GrowthMb() const { return (Status("VmHWM:") - m_baseKb) / 1024; }

private:
    static long Status(const std::string& key) {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
        }
        return -1;
    }
    bool m_ok = false;
    long m_baseKb = -1;
};

std::string RandomBytes(size_t size, uint32_t seed, bool withNul) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
        if (!withNul && c == '\0') c = '\x01';
    }
    return bytes;
}

// Writes head, then `count` copies of `chunk`, then tail.
std::string WriteStreamed(const ScratchDir& dir, const std::string& name, const std::string& head,
                          const std::string& chunk, size_t count, const std::string& tail) {
    const std::string path = dir.File(name);
    std::ofstream out(path, std::ios::binary);
    out << head;
    for (size_t i = 0; i < count; ++i)
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    out << tail;
    return path;
}

// head, then a hole of `holeSize` NUL bytes that takes no disk, then tail. A comment in
// front keeps the NUL bytes out of the first 4,096 that detection looks at.
std::string WriteSparse(const ScratchDir& dir, const std::string& name, const std::string& head,
                        uint64_t holeSize, const std::string& tail) {
    const std::string path = dir.Write(name, "--" + std::string(4096, '-') + "\n" + head);
    EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(4099 + head.size() + holeSize)), 0);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << tail;
    return path;
}

std::unique_ptr<IDumpFile> ScanFile(const std::string& path, std::u16string& error,
                                    IJobContext* job = nullptr) {
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16(path), error);
    if (!dump) return nullptr;
    if (!dump->Scan(job, error)) return nullptr;
    return dump;
}

const TableEntry* Table(IDumpFile& dump, const std::string& name) {
    for (const TableEntry& t : dump.GetTables()) {
        if (U8(t.name) == name) return &t;
    }
    return nullptr;
}

std::string Gzip(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size())) + 32;
    std::string out(size, '\0');
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

TEST(PlainBadInputTest, RandomBytes) {
    ScratchDir dir;
    std::u16string error;
    // With NUL bytes among the first 4,096 the file is not taken for a script at all.
    EXPECT_FALSE(
        CreateDumpReader(U16(dir.Write("random.bin", RandomBytes(1 << 20, 1, true))), error));
    EXPECT_EQ(error,
              u"pg_dump / pg_dumpall で出力された PostgreSQL のダンプファイルではありません。");

    // Without them it is a script of nonsense: the scan goes through it, every table it
    // thinks it found can be read.
    for (uint32_t seed = 2; seed < 8; ++seed) {
        SCOPED_TRACE(seed);
        const std::string path =
            dir.Write("random.sql", RandomBytes((seed % 3 + 1) << 20, seed, false));
        std::unique_ptr<IDumpFile> dump = ScanFile(path, error);
        ASSERT_TRUE(dump) << U8(error);
        for (const TableEntry& t : dump->GetTables()) {
            CountingSink sink;
            EXPECT_TRUE(dump->ReadTableData(t, sink, nullptr, error)) << U8(error);
        }
    }
}

TEST(PlainBadInputTest, BinaryAfterATextStart) {
    ScratchDir dir;
    std::string head;
    while (head.size() < 4096) head += "SELECT 1;\n";
    const std::string path =
        dir.Write("binary.sql", head + "COPY t (a) FROM stdin;\n" + RandomBytes(8 << 20, 11, true) +
                                    "\n\\.\nCREATE TABLE after (a int);\n");
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = ScanFile(path, error);
    ASSERT_TRUE(dump) << U8(error);
    const TableEntry* t = Table(*dump, "t");
    ASSERT_NE(t, nullptr);
    CountingSink sink;
    ASSERT_TRUE(dump->ReadTableData(*t, sink, nullptr, error));
    EXPECT_EQ(sink.lines, t->rowCount);
    EXPECT_NE(Table(*dump, "after"), nullptr);
}

TEST(PlainBadInputTest, QuoteThatRunsToTheEndOfA100MiBScript) {
    ScratchDir dir;
    const std::string chunk = [] {
        std::string c;
        while (c.size() < (1 << 20)) c += "more text; even a semicolon\n";
        return c;
    }();
    for (const char* opening : {"INSERT INTO t VALUES ('abc", "COMMENT ON TABLE t IS 'abc"}) {
        SCOPED_TRACE(opening);
        const std::string path = WriteStreamed(
            dir, "quote.sql", std::string("CREATE TABLE t (a text);\n") + opening, chunk, 100, "");
        MemoryWatch memory;
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = ScanFile(path, error);
        ASSERT_TRUE(dump) << U8(error);
        const TableEntry* t = Table(*dump, "t");
        ASSERT_NE(t, nullptr);
        // The row never closes, so it is no row.
        EXPECT_EQ(t->rowCount, 0u);
        for (const DdlObject& o : dump->GetDdlObjects()) EXPECT_LE(o.definition.size(), 8u << 20);
        if (memory.Available()) {
            EXPECT_LT(memory.GrowthMb(), 100) << "growth";
        }
    }
}

TEST(PlainBadInputTest, OneLineOf300MiB) {
    ScratchDir dir;
    constexpr uint64_t kLine = uint64_t{300} << 20;
    // Outside COPY: one statement of 300 MiB, after which the script goes on.
    {
        const std::string path =
            WriteSparse(dir, "line.sql", "CREATE TABLE t (a int);\n", kLine,
                        "\n;\nCREATE TABLE after (a int);\nCOPY after (a) FROM stdin;\n1\n\\.\n");
        MemoryWatch memory;
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = ScanFile(path, error);
        ASSERT_TRUE(dump) << U8(error);
        const TableEntry* after = Table(*dump, "after");
        ASSERT_NE(after, nullptr);
        EXPECT_EQ(after->rowCount, 1u);
        if (memory.Available()) {
            EXPECT_LT(memory.GrowthMb(), 100) << "growth";
        }
    }
    // Inside COPY: a row of 300 MiB is counted and delivered in pieces.
    {
        const std::string path = WriteSparse(dir, "row.sql", "COPY big (a) FROM stdin;\nfirst\n",
                                             kLine, "\nlast\n\\.\nCREATE TABLE after (a int);\n");
        MemoryWatch memory;
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = ScanFile(path, error);
        ASSERT_TRUE(dump) << U8(error);
        const TableEntry* big = Table(*dump, "big");
        ASSERT_NE(big, nullptr);
        EXPECT_EQ(big->rowCount, 3u);
        EXPECT_NE(Table(*dump, "after"), nullptr);
        CountingSink sink;
        ASSERT_TRUE(dump->ReadTableData(*big, sink, nullptr, error)) << U8(error);
        EXPECT_EQ(sink.lines, 3u);
        EXPECT_EQ(sink.bytes, kLine + 12);
        if (memory.Available()) {
            EXPECT_LT(memory.GrowthMb(), 64) << "growth";
        }
    }
}

TEST(PlainBadInputTest, DamagedGzipScriptsEndWithTheirMessage) {
    ScratchDir dir;
    const std::string good = ReadFileBytes(FixturePath("dumps/kx_main.sql.gz"));
    ASSERT_GT(good.size(), 1000u);
    const std::set<std::u16string> before = TempFilesOfThisProcess();
    const std::set<std::u16string> messages = {
        u"gzip データが途中で終わっています。",
        u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。",
        u"gzip のヘッダが不正です。",
    };
    std::vector<std::string> damaged;
    for (size_t cut :
         {size_t{3}, size_t{10}, size_t{11}, size_t{200}, good.size() / 2, good.size() - 20}) {
        damaged.push_back(good.substr(0, cut));
    }
    std::mt19937 random(5);
    for (int i = 0; i < 12; ++i) {
        std::string flipped = good;
        for (int k = 0; k < 1 + i % 4; ++k) {
            flipped[10 + random() % (flipped.size() - 18)] ^= static_cast<char>(1 + random() % 255);
        }
        damaged.push_back(flipped);
    }
    std::string badHeader = good;
    badHeader[3] = 0x04;  // FEXTRA with a length that runs past the end
    badHeader[10] = '\xFF';
    badHeader[11] = '\xFF';
    damaged.push_back(badHeader.substr(0, 40));
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("damaged " + std::to_string(i));
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = ScanFile(dir.Write("bad.sql.gz", damaged[i]), error);
        if (dump) {
            // A flip the inflater cannot see (the CRC is not checked): a complete scan.
            continue;
        }
        EXPECT_EQ(messages.count(error), 1u) << U8(error);
        EXPECT_EQ(TempFilesOfThisProcess(), before);
    }
    EXPECT_EQ(TempFilesOfThisProcess(), before);
}

TEST(PlainBadInputTest, CancelledScansLeaveNoTemporaryFile) {
    ScratchDir dir;
    std::string script;
    for (int i = 0; i < 5000; ++i)
        script += "CREATE VIEW v" + std::to_string(i) + " AS SELECT 1;\n";
    const std::string path = dir.Write("many.sql.gz", Gzip(script));
    const std::set<std::u16string> before = TempFilesOfThisProcess();
    // The first poll is in the expansion, the second in the scan of the expanded file.
    for (int cancelAfter : {0, 1}) {
        SCOPED_TRACE(cancelAfter);
        TestJob job(cancelAfter);
        std::u16string error;
        std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16(path), error);
        ASSERT_TRUE(dump);
        EXPECT_FALSE(dump->Scan(&job, error));
        EXPECT_EQ(error, u"処理が中止されました。");
        // The cancel ends the work at the poll that sees it; the reader waiting for the
        // expansion may look once more before it hears.
        EXPECT_GE(job.polls, cancelAfter + 1);
        EXPECT_LE(job.polls, cancelAfter + 4);
        EXPECT_EQ(TempFilesOfThisProcess(), before);
        // The reader can still scan afterwards, from a new expansion.
        ASSERT_TRUE(dump->Scan(nullptr, error)) << U8(error);
        EXPECT_EQ(dump->GetDdlObjects().size(), 5000u);
        EXPECT_EQ(TempFilesOfThisProcess().size(), before.size() + 1);
    }
    EXPECT_EQ(TempFilesOfThisProcess(), before);
}
