#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "dump/BufferedFileReader.h"
#include "support/TestPaths.h"

namespace {

constexpr size_t kWindow = BufferedFileReader::kWindowSize;

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return s;
}

}  // namespace

TEST(BufferedFileReaderTest, ReadLineHandlesCrLfEmptyAndFinalLine) {
    ScratchDir dir;
    dir.Write("a.txt", "one\r\n\r\n\ntwo\rx\nlast\r");
    BufferedFileReader r;
    ASSERT_TRUE(r.Open(dir.FileW("a.txt")));
    std::string line;
    std::vector<std::string> lines;
    while (r.ReadLine(line)) lines.push_back(line);
    // A lone CR before the LF is dropped; a CR elsewhere stays; the last line has no LF.
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "", "", "two\rx", "last\r"}));
    EXPECT_FALSE(r.ReadLine(line));
    EXPECT_FALSE(r.IoFailed());
    EXPECT_FALSE(r.LineTooLong());
}

TEST(BufferedFileReaderTest, LinesAndFieldsAcrossWindowEdges) {
    ScratchDir dir;
    // A line that starts just before the first window edge and spans three windows.
    std::string first(kWindow - 3, 'x');
    std::string longLine = Pattern(2 * kWindow + 11);
    std::string content = first + "\n" + longLine + "\nend";
    dir.Write("b.txt", content);

    BufferedFileReader r;
    ASSERT_TRUE(r.Open(dir.FileW("b.txt")));
    EXPECT_EQ(r.FileSize(), content.size());
    std::string line;
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, first);
    EXPECT_EQ(r.Position(), first.size() + 1);
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, longLine);
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "end");
    EXPECT_TRUE(r.AtEnd());

    // An 8-byte field with 3 bytes left in the window and 5 in the next refill.
    ASSERT_TRUE(r.Seek(0));
    std::string skip;
    ASSERT_TRUE(r.ReadExact(skip, kWindow - 3));
    std::string field;
    ASSERT_TRUE(r.ReadExact(field, 8));
    EXPECT_EQ(field, content.substr(kWindow - 3, 8));
    uint8_t byte = 0;
    ASSERT_TRUE(r.ReadByte(byte));
    EXPECT_EQ(static_cast<char>(byte), content[kWindow + 5]);
}

TEST(BufferedFileReaderTest, SeekBoundsAndExactReads) {
    ScratchDir dir;
    dir.Write("c.bin", "0123456789");
    BufferedFileReader r;
    ASSERT_TRUE(r.Open(dir.FileW("c.bin")));
    EXPECT_TRUE(r.Seek(10));
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(r.Seek(11));
    uint8_t b;
    EXPECT_FALSE(r.ReadByte(b));

    ASSERT_TRUE(r.Seek(4));
    std::string s;
    EXPECT_TRUE(r.ReadExact(s, 0));
    EXPECT_TRUE(s.empty());
    ASSERT_TRUE(r.ReadExact(s, 6));
    EXPECT_EQ(s, "456789");
    ASSERT_TRUE(r.Seek(8));
    // More than the file holds: fails without allocating the hostile length.
    EXPECT_FALSE(r.ReadExact(s, size_t{1} << 40));
    ASSERT_TRUE(r.Seek(8));
    EXPECT_FALSE(r.ReadExact(s, 3));
}

TEST(BufferedFileReaderTest, SeekInsideWindowDoesNotReadAgain) {
    ScratchDir dir;
    std::string path = dir.Write("d.bin", "abcdefghij");
    BufferedFileReader r;
    ASSERT_TRUE(r.Open(dir.FileW("d.bin")));
    std::string s;
    ASSERT_TRUE(r.ReadExact(s, 6));

    // Change the file underneath: a seek inside the window must still see the old bytes.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.write("ABCDEFGHIJ", 10);
    }
    ASSERT_TRUE(r.Seek(2));
    ASSERT_TRUE(r.ReadExact(s, 3));
    EXPECT_EQ(s, "cde");

    // Leaving the window and coming back reads the file afresh.
    ASSERT_TRUE(r.Seek(10));
    ASSERT_TRUE(r.Seek(2));
    ASSERT_TRUE(r.ReadExact(s, 3));
    EXPECT_EQ(s, "CDE");
}

TEST(BufferedFileReaderTest, DirectWindowAccessAndReopen) {
    ScratchDir dir;
    std::string content = Pattern(kWindow + 100);
    dir.Write("e.bin", content);
    BufferedFileReader r;
    ASSERT_TRUE(r.Open(dir.FileW("e.bin")));
    std::string seen;
    while (r.Available() > 0 || r.Refill()) {
        seen.append(r.Data(), r.Available());
        r.Consume(r.Available());
    }
    EXPECT_EQ(seen, content);
    EXPECT_FALSE(r.IoFailed());

    EXPECT_FALSE(r.Open(dir.FileW("missing.bin")));
    EXPECT_FALSE(r.IsOpen());
    EXPECT_FALSE(r.Open(U16(dir.Path())));  // a folder is not a file
    std::string line;
    EXPECT_FALSE(r.ReadLine(line));
}

TEST(BufferedFileReaderTest, OverlongLineIsRefused) {
    ScratchDir dir;
    std::string path = dir.File("huge.bin");
    { std::ofstream f(path, std::ios::binary); }
    // A sparse file of NUL bytes: no LF anywhere, and cheap to make.
    ASSERT_EQ(::truncate(path.c_str(),
                         static_cast<off_t>(BufferedFileReader::kMaxLineLength + 3 * kWindow)),
              0);
    BufferedFileReader r;
    ASSERT_TRUE(r.Open(U16(path)));
    std::string line;
    EXPECT_FALSE(r.ReadLine(line));
    EXPECT_TRUE(r.LineTooLong());
    EXPECT_TRUE(line.empty());
}
