#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "dump/FileSink.h"
#include "support/TestPaths.h"

namespace {

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 131 + i / 4099);
    return s;
}

// The size the system sees, which excludes anything still in the sink's buffer.
long long SizeOnDisk(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

TEST(FileSinkTest, OneBigWriteLandsWholeInTheFile) {
    ScratchDir dir;
    const std::string data = Pattern(3 * CFileSink::kBufferSize);
    CFileSink sink;
    ASSERT_TRUE(sink.Open(dir.FileW("big.bin")));
    ASSERT_TRUE(sink.Write(data.data(), data.size()));
    EXPECT_EQ(SizeOnDisk(dir.File("big.bin")), static_cast<long long>(data.size()));
    EXPECT_EQ(sink.Total(), data.size());
    sink.Close();
    EXPECT_TRUE(sink.IsOk());
    EXPECT_TRUE(ReadFileBytes(dir.File("big.bin")) == data);
}

TEST(FileSinkTest, SmallWritesAreCollectedAndKeepTheirOrder) {
    ScratchDir dir;
    const std::string data = Pattern(CFileSink::kBufferSize * 2 + 999);
    CFileSink sink;
    ASSERT_TRUE(sink.Open(dir.FileW("small.bin")));
    ASSERT_TRUE(sink.Write(data.data(), 10));
    EXPECT_EQ(SizeOnDisk(dir.File("small.bin")), 0);
    // Odd piece sizes so that pieces straddle the buffer edges.
    for (size_t at = 10, piece = 1; at < data.size(); at += piece, piece = piece * 3 % 70001) {
        ASSERT_TRUE(sink.Write(data.data() + at, std::min(piece, data.size() - at)));
    }
    ASSERT_TRUE(sink.Flush());
    EXPECT_EQ(SizeOnDisk(dir.File("small.bin")), static_cast<long long>(data.size()));
    sink.Close();
    EXPECT_TRUE(ReadFileBytes(dir.File("small.bin")) == data);
}

TEST(FileSinkTest, WriteFailureIsStickyUntilTheNextOpen) {
    ScratchDir dir;
    CFileSink sink;
    ASSERT_TRUE(sink.Open(u"/dev/full"));
    EXPECT_TRUE(sink.Write("abc", 3));
    EXPECT_FALSE(sink.Flush());
    EXPECT_FALSE(sink.IsOk());
    EXPECT_FALSE(sink.Write("def", 3));
    EXPECT_FALSE(sink.Flush());
    sink.Close();
    EXPECT_FALSE(sink.IsOk());

    ASSERT_TRUE(sink.Open(dir.FileW("after.txt")));
    EXPECT_TRUE(sink.IsOk());
    EXPECT_TRUE(sink.Write("ghi", 3));
    sink.Close();
    EXPECT_TRUE(sink.IsOk());
    EXPECT_EQ(ReadFileBytes(dir.File("after.txt")), "ghi");
}

TEST(FileSinkTest, OpenTruncatesAndFlushesThePreviousFile) {
    ScratchDir dir;
    dir.Write("a.txt", "old content that is longer");
    CFileSink sink;
    ASSERT_TRUE(sink.Open(dir.FileW("a.txt")));
    ASSERT_TRUE(sink.Write("new", 3));
    ASSERT_TRUE(sink.Open(dir.FileW("b.txt")));
    EXPECT_EQ(ReadFileBytes(dir.File("a.txt")), "new");
    ASSERT_TRUE(sink.Write("bee", 3));
}

TEST(FileSinkTest, WritesWithoutAnOpenFileAreRefused) {
    ScratchDir dir;
    dir.Write("blocker", "x");
    CFileSink sink;
    EXPECT_FALSE(sink.Write("abc", 3));
    EXPECT_FALSE(sink.Open(dir.FileW("blocker/out.txt")));
    EXPECT_FALSE(sink.IsOk());
    EXPECT_FALSE(sink.Write("abc", 3));
    ASSERT_TRUE(sink.Open(dir.FileW("ok.txt")));
    sink.Close();
    EXPECT_FALSE(sink.Write("abc", 3));
    EXPECT_TRUE(sink.IsOk());
    EXPECT_EQ(SizeOnDisk(dir.File("ok.txt")), 0);
}
