#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "store/SpoolWriter.h"
#include "support/TestPaths.h"

TEST(SpoolWriterTest, BuffersAlternateAndArriveInOrder) {
    ScratchDir dir;
    platform::CFile file;
    ASSERT_TRUE(file.OpenWritePrivate(dir.FileW("spool")));
    CSpoolWriter writer;
    writer.Start(file);
    std::string expected;
    char* previous = nullptr;
    for (int i = 0; i < 50; ++i) {
        char* buffer = writer.Buffer();
        // Never the buffer that is still being written.
        EXPECT_NE(buffer, previous);
        const size_t length = 1 + static_cast<size_t>(i) * 20011 % CSpoolWriter::kBufferSize;
        std::memset(buffer, 'a' + i % 26, length);
        expected.append(buffer, length);
        ASSERT_TRUE(writer.Submit(length));
        previous = buffer;
    }
    EXPECT_TRUE(writer.Submit(0));
    EXPECT_TRUE(writer.Finish());
    EXPECT_TRUE(writer.Finish());  // a second finish changes nothing
    file.Close();
    EXPECT_TRUE(ReadFileBytes(dir.File("spool")) == expected);
}

TEST(SpoolWriterTest, FailuresAreReportedLater) {
    ScratchDir dir;
    const std::string full = dir.File("full");
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    platform::CFile file;
    ASSERT_TRUE(file.OpenWrite(U16(full)));
    CSpoolWriter writer;
    writer.Start(file);
    std::memset(writer.Buffer(), 'x', 100);
    // The write fails on the writer's thread; the next hand-over or the finish says so.
    writer.Submit(100);
    std::memset(writer.Buffer(), 'y', 100);
    const bool second = writer.Submit(100);
    const bool finished = writer.Finish();
    EXPECT_FALSE(second && finished);
    EXPECT_FALSE(finished);
    // A new start on a good file begins clean.
    platform::CFile good;
    ASSERT_TRUE(good.OpenWrite(dir.FileW("good")));
    writer.Start(good);
    std::memcpy(writer.Buffer(), "ok", 2);
    EXPECT_TRUE(writer.Submit(2));
    EXPECT_TRUE(writer.Finish());
    good.Close();
    EXPECT_EQ(ReadFileBytes(dir.File("good")), "ok");
}
