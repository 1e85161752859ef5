// A compressed script is scanned while it is still being expanded: the result must be
// exactly that of the same script uncompressed, and a damaged one must fail with the
// expansion's own message and leave nothing behind.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "dump/CompressedFile.h"
#include "plain/PlainDump.h"
#include "platform/File.h"
#include "support/CollectSink.h"
#include "support/FrameCompress.h"
#include "support/PlainScriptMaker.h"
#include "support/TempFileList.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

void ExpectSameScan(CPlainDump& expected, CPlainDump& actual) {
    const std::vector<TableEntry>& want = expected.GetTables();
    const std::vector<TableEntry>& got = actual.GetTables();
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(U8(want[i].QualifiedName()));
        EXPECT_EQ(got[i].QualifiedName(), want[i].QualifiedName());
        EXPECT_EQ(got[i].rowCount, want[i].rowCount);
        EXPECT_EQ(got[i].dataKind, want[i].dataKind);
        EXPECT_EQ(got[i].dataOffset, want[i].dataOffset);
        EXPECT_EQ(got[i].dataEnd, want[i].dataEnd);
        EXPECT_EQ(got[i].columns.size(), want[i].columns.size());
        EXPECT_EQ(got[i].ddl, want[i].ddl);
    }
    const std::vector<DdlObject>& wantDdl = expected.GetDdlObjects();
    const std::vector<DdlObject>& gotDdl = actual.GetDdlObjects();
    ASSERT_EQ(gotDdl.size(), wantDdl.size());
    for (size_t i = 0; i < wantDdl.size(); ++i) {
        if (gotDdl[i].definition != wantDdl[i].definition) {
            ADD_FAILURE() << "schema object " << i << ": " << U8(gotDdl[i].definition);
            break;
        }
    }
    EXPECT_EQ(actual.GetInfo().serverVersion, expected.GetInfo().serverVersion);
    EXPECT_EQ(actual.GetInfo().dumpVersion, expected.GetInfo().dumpVersion);
}

std::string TableData(CPlainDump& dump, size_t index) {
    CollectSink sink;
    std::u16string error;
    EXPECT_TRUE(dump.ReadTableData(dump.GetTables()[index], sink, nullptr, error)) << U8(error);
    return sink.bytes;
}

}  // namespace

TEST(PlainOverlapTest, CompressedScanMatchesThePlainScript) {
    ScratchDir dir;
    const std::string script = MakePlainScript(size_t{24} << 20, 7);
    const std::string plainPath = dir.Write("big.sql", script);
    const std::string gzipPath = dir.Write("big.sql.gz", DeflateCompress(script, 1, 31));
    CPlainDump plain;
    plain.Open(U16(plainPath), false);
    std::u16string error;
    ASSERT_TRUE(plain.Scan(nullptr, error)) << U8(error);
    ASSERT_GT(plain.GetTables().size(), 8u);

    for (bool withJob : {false, true}) {
        SCOPED_TRACE(withJob ? "with a job" : "without a job");
        CPlainDump compressed;
        compressed.Open(U16(gzipPath), true);
        ThreadedTestJob job;
        ASSERT_TRUE(compressed.Scan(withJob ? &job : nullptr, error)) << U8(error);
        ExpectSameScan(plain, compressed);
        EXPECT_EQ(ReadFileBytes(U8(compressed.GetReadPath())), script);
        for (size_t i : {size_t{0}, size_t{1}, compressed.GetTables().size() - 1}) {
            EXPECT_EQ(TableData(compressed, i), TableData(plain, i));
        }
        if (withJob) {
            EXPECT_EQ(job.foreignReports.load(), 0);
            EXPECT_EQ(job.messages,
                      (std::vector<std::u16string>{u"gzip を展開しています",
                                                   u"ダンプファイルを走査しています"}));
            ASSERT_FALSE(job.progress.empty());
            EXPECT_EQ(job.progress.back(), 100);
            for (int percent : job.progress) {
                EXPECT_TRUE(percent >= 0 && percent <= 100) << percent;
            }
        }
    }
}

TEST(PlainOverlapTest, DamagedLargeScriptFailsAsTheExpansionDoes) {
    ScratchDir dir;
    const std::string gzip = DeflateCompress(MakePlainScript(size_t{12} << 20, 11), 1, 31);
    std::vector<std::string> damaged = {gzip.substr(0, gzip.size() * 3 / 5),
                                        gzip.substr(0, gzip.size() - 9)};
    std::mt19937 random(3);
    for (int i = 0; i < 4; ++i) {
        std::string flipped = gzip;
        flipped[gzip.size() / 3 + random() % (gzip.size() / 2)] ^= '\x5A';
        damaged.push_back(flipped);
    }
    const std::set<std::u16string> before = TempFilesOfThisProcess();
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("damaged " + std::to_string(i));
        const std::string path = dir.Write("bad.sql.gz", damaged[i]);
        // What the expansion alone says, as the sequential scan reported it.
        std::u16string expected;
        const bool expands = ExpandCompressedToFile(U16(path), StreamFormat::Gzip,
                                                    dir.FileW("out.sql"), nullptr, expected);
        platform::DeleteFile(dir.FileW("out.sql"));
        CPlainDump dump;
        dump.Open(U16(path), true);
        ThreadedTestJob job;
        std::u16string error;
        EXPECT_EQ(dump.Scan(&job, error), expands) << U8(error);
        if (!expands) {
            EXPECT_EQ(error, expected) << U8(error);
            EXPECT_TRUE(dump.GetTempPath().empty());
            EXPECT_EQ(TempFilesOfThisProcess(), before);
        }
        EXPECT_EQ(job.foreignReports.load(), 0);
    }
    EXPECT_EQ(TempFilesOfThisProcess(), before);
}
