#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dump/DumpFile.h"
#include "dump/GzipFile.h"
#include "jobs/JobContext.h"
#include "platform/File.h"
#include "support/FrameCompress.h"
#include "support/TestPaths.h"

using namespace std::string_literals;

namespace {

const std::u16string kHeaderBad = u"gzip のヘッダが不正です。";
const std::u16string kTruncated = u"gzip データが途中で終わっています。";

// windowBits 31: a complete gzip member; -15: bare deflate data for hand-made headers.
std::string Deflate(const std::string& text, int windowBits) {
    return DeflateCompress(text, 6, windowBits);
}

std::string Gzip(const std::string& text) {
    return Deflate(text, 31);
}

std::string Le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string Trailer(const std::string& text) {
    uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
    return Le32(static_cast<uint32_t>(crc)) + Le32(static_cast<uint32_t>(text.size()));
}

std::string Random(size_t n, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

struct StringSink : IDataSink {
    std::string data;
    bool Write(const char* bytes, size_t length) override {
        data.append(bytes, length);
        return true;
    }
};

// Cancels once it has seen cancelAfter progress reports.
struct TestJob : IJobContext {
    size_t cancelAfter = SIZE_MAX;
    std::vector<int> progress;
    bool IsCancelled() const override { return progress.size() >= cancelAfter; }
    void SetMessage(const std::u16string&) override {}
    void SetProgress(int percent) override { progress.push_back(percent); }
};

struct ReadResult {
    bool ok;
    std::string data;
    std::u16string error;
};

ReadResult ReadGz(const std::string& fileBytes, IJobContext* job = nullptr) {
    ScratchDir dir;
    dir.Write("in.gz", fileBytes);
    ReadResult r;
    StringSink sink;
    r.ok = ReadGzipFile(dir.FileW("in.gz"), sink, job, r.error);
    r.data = sink.data;
    return r;
}

}  // namespace

TEST(GzipFileTest, AcceptedLayouts) {
    const std::string a = "1\tfirst\n", b = "2\tsecond\n";
    std::string wrongCrc = Gzip(a);
    wrongCrc[wrongCrc.size() - 6] ^= 0x5A;
    const std::string noTrailer = Gzip(b).substr(0, Gzip(b).size() - 8);
    // Header with every optional field: FHCRC | FEXTRA | FNAME | FCOMMENT.
    const std::string fullHeader = "\x1f\x8b\x08\x1e"s + Le32(0) + "\x00\x03"s +
                                   "\x05\x00xy\x00\x01z"s + "name.sql\0"s + "a comment\0"s +
                                   "\xAB\xCD";
    struct Case {
        const char* name;
        std::string file;
        std::string expected;
    } cases[] = {
        {"one member", Gzip(a), a},
        {"two members", Gzip(a) + Gzip(b), a + b},
        {"empty member between", Gzip(a) + Gzip("") + Gzip(b), a + b},
        {"zero padding", Gzip(a) + std::string(4096, '\0'), a},
        {"trailing bytes that start no member", Gzip(a) + "\x1f\x8b", a},
        {"wrong crc", wrongCrc + Gzip(b), a + b},
        {"last trailer missing", Gzip(a) + noTrailer, a + b},
        {"last trailer cut short", Gzip(a) + Gzip(b).substr(0, Gzip(b).size() - 3), a + b},
        {"all header flags", fullHeader + Deflate(a, -15) + Trailer(a) + Gzip(b), a + b},
        {"empty file", "", ""},
    };
    for (const Case& c : cases) {
        ReadResult r = ReadGz(c.file);
        EXPECT_TRUE(r.ok) << c.name << ": " << U8(r.error);
        EXPECT_EQ(r.data, c.expected) << c.name;
    }
}

TEST(GzipFileTest, DamagedFilesAreReported) {
    const std::string a = "1\tfirst\n";
    const std::string member = Gzip(a);
    const std::string head = "\x1f\x8b\x08";
    struct Case {
        const char* name;
        std::string file;
        std::u16string error;
    } cases[] = {
        {"shorter than a header", member.substr(0, 9), kHeaderBad},
        {"not gzip", "plain text, not gzip", kHeaderBad},
        {"method is not deflate", "\x1f\x8b\x07" + member.substr(3), kHeaderBad},
        {"extra field past the end", head + "\x04" + Le32(0) + "\x00\x03\xff\x00"s + "abc",
         kHeaderBad},
        {"name without terminator", head + "\x08" + Le32(0) + "\x00\x03"s + "name", kHeaderBad},
        {"comment without terminator", head + "\x10" + Le32(0) + "\x00\x03"s + "note", kHeaderBad},
        {"header crc cut", head + "\x02" + Le32(0) + "\x00\x03\x01"s, kHeaderBad},
        {"second header cut", member + member.substr(0, 6), kHeaderBad},
        {"only a header", member.substr(0, 10), kTruncated},
        {"cut inside deflate data", member.substr(0, member.size() / 2), kTruncated},
        {"corrupt deflate data", member.substr(0, 10) + "\xff\xff\xff\xff" + Trailer(a),
         u"圧縮データの展開に失敗しました(データが壊れているか、対応していない圧縮方式です)。"},
    };
    for (const Case& c : cases) {
        ReadResult r = ReadGz(c.file);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name << ": " << U8(r.error);
    }
}

TEST(GzipFileTest, BigMembersCrossChunkAndWindowBoundaries) {
    // Incompressible data makes compressed members of several MiB whose ends fall at odd
    // places inside the reader's window; the compressible one spans many output buffers.
    std::string compressible;
    while (compressible.size() < (size_t{5} << 20)) {
        compressible += std::to_string(compressible.size()) + "\trow text\n";
    }
    const std::string noise1 = Random((size_t{3} << 20) + 12345, 1);
    const std::string noise2 = Random((size_t{1} << 20) + 7, 2);
    const std::string file = Gzip(noise1) + Gzip(compressible) + Gzip(noise2);
    TestJob job;
    ReadResult r = ReadGz(file, &job);
    ASSERT_TRUE(r.ok) << U8(r.error);
    EXPECT_TRUE(r.data == noise1 + compressible + noise2);
    ASSERT_FALSE(job.progress.empty());
    EXPECT_TRUE(std::is_sorted(job.progress.begin(), job.progress.end()));
    EXPECT_EQ(job.progress.back(), 100);
}

TEST(GzipFileTest, CancellationStopsBetweenChunks) {
    const std::string noise = Random(size_t{2} << 20, 3);
    for (size_t after : {size_t{0}, size_t{2}}) {
        TestJob job;
        job.cancelAfter = after;
        ReadResult r = ReadGz(Gzip(noise), &job);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, kCancelledMessage);
        EXPECT_EQ(job.progress.size(), after);
        EXPECT_LT(r.data.size(), noise.size());
    }
}

TEST(GzipFileTest, ExpandWritesTheContent) {
    ScratchDir dir;
    const std::string text = Random(size_t{3} << 20, 4) + "tail\n";
    dir.Write("in.gz", Gzip(text.substr(0, 1000)) + Gzip(text.substr(1000)));
    std::u16string error;
    ASSERT_TRUE(ExpandGzipToFile(dir.FileW("in.gz"), dir.FileW("out.sql"), nullptr, error));
    EXPECT_TRUE(ReadFileBytes(dir.File("out.sql")) == text);
    // A copy of the dump's data: only its owner may read it.
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("out.sql").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);
}

TEST(GzipFileTest, FailedExpansionLeavesNoOutput) {
    ScratchDir dir;
    const std::string big = Random(size_t{3} << 20, 5);
    dir.Write("cut.gz", Gzip(big).substr(0, 2 << 20));
    dir.Write("small.gz", Gzip("1\tsmall\n"));
    dir.Write("big.gz", Gzip(big));
    dir.Write("blocker", "a file, not a folder");
    // A full disk: the file size limit makes writes fail (EFBIG instead of the signal).
    std::signal(SIGXFSZ, SIG_IGN);
    // The expansion is a temporary file: it is never written through a link.
    ASSERT_EQ(::symlink("/dev/full", dir.File("link").c_str()), 0);
    const std::u16string writeFailed = u"一時ファイルの書き込みに失敗しました(";
    struct Case {
        const char* name;
        std::string in;
        std::string out;
        std::u16string error;
        rlim_t sizeLimit = RLIM_INFINITY;
    } cases[] = {
        {"truncated input", "cut.gz", "out.sql", kTruncated},
        {"missing input", "none.gz", "out.sql",
         u"ファイルをオープンできません(" + dir.FileW("none.gz") + u")。"},
        {"output cannot be created", "small.gz", "blocker/out.sql",
         u"一時ファイルを作成できません(" + dir.FileW("blocker/out.sql") + u")。"},
        // The write fails on the final flush, after the whole input was read.
        {"disk full at close", "small.gz", "full", writeFailed + dir.FileW("full") + u")。", 4},
        // The write fails midway, so the reading stops with no message of its own.
        {"disk full midway", "big.gz", "full2", writeFailed + dir.FileW("full2") + u")。", 1 << 20},
    };
    for (const Case& c : cases) {
        std::u16string error;
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = std::min(c.sizeLimit, old.rlim_max);
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool expanded = ExpandGzipToFile(dir.FileW(c.in), dir.FileW(c.out), nullptr, error);
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_FALSE(expanded) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        struct stat st;
        EXPECT_NE(::lstat(dir.File(c.out).c_str(), &st), 0) << c.name << " left its output";
    }
    std::u16string error;
    EXPECT_FALSE(ExpandGzipToFile(dir.FileW("small.gz"), dir.FileW("link"), nullptr, error));
    EXPECT_EQ(error, u"一時ファイルを作成できません(" + dir.FileW("link") + u")。");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")));
    EXPECT_EQ(platform::GetPathKind(u"/dev/full"), platform::PathKind::File);
}
