// Cancelling the scan of a compressed script at any point, while the expansion runs on its
// own thread: the scan ends with the cancelled message, the expansion thread is joined and
// no temporary file is left. Only the scan's thread reports to the job.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "dump/BufferedFileReader.h"
#include "dump/GrowingFile.h"
#include "plain/PlainDump.h"
#include "plain/StatementReader.h"
#include "support/FrameCompress.h"
#include "support/PlainScriptMaker.h"
#include "support/TempFileList.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

// Every statement's offsets, and for a COPY its rows and where its data ends.
std::vector<uint64_t> ReadAll(BufferedFileReader& reader) {
    std::vector<uint64_t> seen;
    SqlStatement statement;
    while (ReadStatement(reader, statement)) {
        seen.push_back(statement.startOffset);
        seen.push_back(statement.endOffset);
        if (statement.text.rfind("COPY", 0) == 0) {
            uint64_t rows = 0, start = 0, end = 0;
            SkipCopyData(reader, rows, start, end);
            seen.insert(seen.end(), {rows, start, end});
        }
    }
    return seen;
}

}  // namespace

// The writer has written the whole file but not yet said that it is finished: a statement
// or a COPY section at the very end must still end where it does in the finished file.
TEST(PlainOverlapConcurrencyTest, ScriptEndsBeforeTheWriterSaysSo) {
    ScratchDir dir;
    const size_t window = BufferedFileReader::kWindowSize;
    const std::vector<std::string> tails = {"SELECT 1;  \t ", "INSERT INTO t VALUES (1);\r\n  ",
                                            "COPY t (a) FROM stdin;\n1\n2", "COPY t FROM stdin;\n"};
    for (const std::string& tail : tails) {
        for (size_t size : {window, window + 1, 2 * window, size_t{5000}}) {
            SCOPED_TRACE(tail + " in " + std::to_string(size) + " bytes");
            std::string script;
            for (int i = 0; i < 50; ++i) script += "SET a = 'x;y'; SET b = 2;\n";
            script += "-- " + std::string(size - script.size() - tail.size() - 4, '-') + "\n";
            script += tail;
            ASSERT_EQ(script.size(), size);
            const std::u16string path = U16(dir.Write("end.sql", script));
            BufferedFileReader plain;
            ASSERT_TRUE(plain.Open(path));
            const std::vector<uint64_t> expected = ReadAll(plain);

            CGrowingFile growing;
            growing.Publish(size);
            std::thread finisher([&growing, size] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                growing.Finish(size);
            });
            BufferedFileReader following;
            std::vector<uint64_t> got;
            if (following.OpenGrowing(path, growing)) got = ReadAll(following);
            finisher.join();
            EXPECT_EQ(got, expected);
        }
    }
}

TEST(PlainOverlapConcurrencyTest, CancelAtAnyPointLeavesNothingBehind) {
    ScratchDir dir;
    const std::string path =
        dir.Write("cancel.sql.gz", DeflateCompress(MakePlainScript(size_t{6} << 20, 5), 1, 31));
    const std::set<std::u16string> before = TempFilesOfThisProcess();
    std::vector<int> cancelAfter = {0, 1, 2, 3, 5, 8, 13, 21, 34};
    std::mt19937 random(static_cast<uint32_t>(std::random_device()()));
    for (int i = 0; i < 4; ++i) cancelAfter.push_back(static_cast<int>(random() % 60));
    int cancelled = 0;
    for (int polls : cancelAfter) {
        SCOPED_TRACE("cancel after " + std::to_string(polls) + " polls");
        CPlainDump dump;
        dump.Open(U16(path), true);
        ThreadedTestJob job(polls);
        std::u16string error;
        if (dump.Scan(&job, error)) {
            // More polls than this scan makes: it ran to its end.
            EXPECT_GT(job.polls.load(), 0);
            EXPECT_LE(job.polls.load(), polls);
            EXPECT_FALSE(dump.GetTempPath().empty());
        } else {
            ++cancelled;
            EXPECT_EQ(error, u"処理が中止されました。");
            EXPECT_TRUE(dump.GetTempPath().empty());
            EXPECT_EQ(TempFilesOfThisProcess(), before);
        }
        EXPECT_EQ(job.foreignReports.load(), 0);
    }
    EXPECT_GE(cancelled, 5);
    EXPECT_EQ(TempFilesOfThisProcess(), before);
}
