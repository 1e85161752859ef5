// A reader following a file that another thread is still writing sees exactly what was
// written, however the writes are cut and timed, and stops (never hangs) when the writer
// fails.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "dump/BufferedFileReader.h"
#include "dump/GrowingFile.h"
#include "platform/File.h"
#include "support/TestPaths.h"

namespace {

// Lines of 0 to 3,000 bytes, some with CR LF, a few longer than the reader's window; the
// last one without a line break.
std::string MakeLines(uint32_t seed) {
    std::mt19937 random(seed);
    std::string text;
    for (int i = 0; text.size() < (size_t{3} << 20); ++i) {
        const size_t length = i % 700 == 5 ? (size_t{1} << 20) + 77 : random() % 3000;
        text.append(length, static_cast<char>('a' + i % 26));
        text += i % 3 == 0 ? "\r\n" : "\n";
    }
    text += "last line";
    return text;
}

// Appends text to path in pieces of odd sizes with short pauses, publishing each piece;
// stops with a failure after failAfter bytes when that is smaller than the text.
void WritePieces(const std::u16string& path, const std::string& text, CGrowingFile& growing,
                 uint32_t seed, size_t failAfter) {
    std::mt19937 random(seed);
    platform::CFile file;
    if (!file.OpenWrite(path)) {
        growing.Fail(u"cannot create");
        return;
    }
    size_t written = 0;
    while (written < text.size()) {
        if (growing.Abandoned()) {
            growing.Fail(u"stopped");
            return;
        }
        if (written >= failAfter) {
            growing.Fail(u"writer failed");
            return;
        }
        const size_t piece = std::min<size_t>(text.size() - written, 1 + random() % 300001);
        if (!file.WriteAll(text.data() + written, piece)) {
            growing.Fail(u"write failed");
            return;
        }
        written += piece;
        growing.Publish(written);
        if (random() % 4 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }
    file.Close();
    growing.Finish(written);
}

}  // namespace

TEST(GrowingFileConcurrencyTest, ReaderSeesEveryLineWhileTheFileGrows) {
    ScratchDir dir;
    const std::string text = MakeLines(1);
    std::string expected;  // the lines as ReadLine gives them, each followed by LF
    for (size_t at = 0; at < text.size();) {
        size_t lf = text.find('\n', at);
        if (lf == std::string::npos) lf = text.size();
        std::string line = text.substr(at, lf - at);
        if (!line.empty() && line.back() == '\r' && lf < text.size()) line.pop_back();
        expected += line + "\n";
        at = lf + 1;
    }
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const std::u16string path = dir.FileW("growing" + std::to_string(seed) + ".txt");
        CGrowingFile growing;
        std::thread writer(WritePieces, path, std::cref(text), std::ref(growing), seed,
                           std::string::npos);
        BufferedFileReader reader;
        std::string got;
        if (reader.OpenGrowing(path, growing)) {
            EXPECT_EQ(reader.FileSize(), BufferedFileReader::kGrowingSize);
            std::string line;
            while (reader.ReadLine(line)) got += line + "\n";
            EXPECT_FALSE(reader.IoFailed());
            EXPECT_EQ(reader.FileSize(), text.size());
            EXPECT_EQ(reader.Position(), text.size());
        } else {
            ADD_FAILURE() << "the growing file could not be opened";
        }
        writer.join();
        EXPECT_TRUE(got == expected) << got.size() << " bytes against " << expected.size();
    }
}

TEST(GrowingFileConcurrencyTest, FailedOrAbandonedWriterEndsTheReading) {
    ScratchDir dir;
    const std::string text = MakeLines(4);
    for (size_t failAfter : {size_t{0}, size_t{5000}, size_t{1} << 20, size_t{2500000}}) {
        SCOPED_TRACE(failAfter);
        const std::u16string path = dir.FileW("failing.txt");
        CGrowingFile growing;
        std::thread writer(WritePieces, path, std::cref(text), std::ref(growing), 9, failAfter);
        BufferedFileReader reader;
        if (reader.OpenGrowing(path, growing)) {
            std::string line;
            uint64_t bytes = 0;
            while (reader.ReadLine(line)) bytes += line.size() + 1;
            EXPECT_TRUE(reader.IoFailed());
            EXPECT_LE(bytes, failAfter + 1);
        }
        writer.join();
        std::u16string error;
        EXPECT_TRUE(growing.Failed(error));
        EXPECT_EQ(error, u"writer failed");
    }
    // A reader that gives up stops the writer; that is not the writer's own failure, and
    // reading on ends at once instead of waiting.
    CGrowingFile growing;
    std::thread writer(WritePieces, dir.FileW("abandoned.txt"), std::cref(text), std::ref(growing),
                       5, std::string::npos);
    BufferedFileReader reader;
    std::string line;
    if (reader.OpenGrowing(dir.FileW("abandoned.txt"), growing)) {
        EXPECT_TRUE(reader.ReadLine(line));
    }
    growing.Abandon();
    while (reader.ReadLine(line)) {
    }
    writer.join();
    std::u16string error;
    EXPECT_FALSE(growing.Failed(error));
}
