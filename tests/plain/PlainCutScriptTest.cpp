// Compressed scripts that end early, and expansions that run out of room: the scan ends
// with the expansion's own message, whatever the cut, and leaves no temporary file. Each
// scan runs in a child process, so that a hang fails the test instead of holding it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <functional>
#include <string>
#include <vector>

#include "app/CreateDumpReader.h"
#include "dump/DumpFile.h"
#include "support/ChildWatchdog.h"
#include "support/FrameCompress.h"
#include "support/TempFileList.h"
#include "support/TestJob.h"
#include "support/TestPaths.h"

namespace {

constexpr int kWatchdogSeconds = 30;

// A script of ordinary 30-byte rows after a comment of headerLength bytes, which moves
// every later byte, and so where a cut lands among the lines.
std::string RowScript(size_t headerLength, int rows) {
    std::string script = "-- " + std::string(headerLength, 'h') + "\n";
    script += "CREATE TABLE public.t (a integer, b text);\n";
    script += "COPY public.t (a, b) FROM stdin;\n";
    for (int i = 0; i < rows; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%06d\tabcdefghijklmnopqrstuv\n", i);
        script += line;
    }
    return script + "\\.\n\nCREATE TABLE public.after (c integer);\n";
}

// The scan's message and whether it left a temporary file, as one text.
std::string ScanInChild(const std::string& path, IJobContext* job) {
    const size_t before = TempFilesOfThisProcess().size();
    std::u16string error;
    std::unique_ptr<IDumpFile> dump = CreateDumpReader(U16(path), error);
    const bool scanned = dump && dump->Scan(job, error);
    dump.reset();
    std::string result = scanned ? "scanned" : U8(error);
    if (TempFilesOfThisProcess().size() != before) result += " (temporary file left)";
    return result;
}

struct Format {
    const char* name;
    std::function<std::string(const std::string&)> compress;
    const char* message;
    // A cut in a trailer this long loses no data: the script reads whole.
    size_t harmlessTail;
};

const std::vector<Format>& Formats() {
    static const std::vector<Format> formats = {
        {"gzip", [](const std::string& s) { return DeflateCompress(s, 6, 31); },
         "gzip データが途中で終わっています。", 8},
        {"lz4", [](const std::string& s) { return Lz4Compress(s); },
         "lz4 データが途中で終わっています。", 0},
        {"zstd", [](const std::string& s) { return ZstdCompress(s); },
         "zstd データが途中で終わっています。", 0},
    };
    return formats;
}

}  // namespace

TEST(PlainCutScriptTest, EveryCutEndsWithTheExpansionMessage) {
    ScratchDir dir;
    for (const Format& format : Formats()) {
        for (size_t headerLength : {0, 1, 2, 7, 13, 22, 29}) {
            const std::string whole = format.compress(RowScript(headerLength, 250));
            ASSERT_GT(whole.size(), 200u);
            // Spread over the file, most of which is COPY data, and close to its end.
            std::vector<size_t> cuts;
            for (size_t k = 1; k < 8; ++k) cuts.push_back(whole.size() * k / 8);
            for (size_t back : {40, 20, 3, 1}) cuts.push_back(whole.size() - back);
            for (size_t cut : cuts) {
                SCOPED_TRACE(std::string(format.name) + " header " + std::to_string(headerLength) +
                             " cut at " + std::to_string(cut) + " of " +
                             std::to_string(whole.size()));
                const std::string path =
                    dir.Write(std::string("cut.sql.") + format.name, whole.substr(0, cut));
                const std::optional<std::string> result = RunInChild(
                    [&] {
                        ThreadedTestJob job;
                        return ScanInChild(path, &job);
                    },
                    kWatchdogSeconds);
                ASSERT_TRUE(result.has_value()) << "the scan hung";
                EXPECT_EQ(*result,
                          whole.size() - cut <= format.harmlessTail ? "scanned" : format.message);
            }
        }
    }
}

TEST(PlainCutScriptTest, FullTemporaryFolderEndsTheScanAndCancelStopsIt) {
    ScratchDir dir;
    std::string script = "CREATE TABLE public.t (a text);\nCOPY public.t (a) FROM stdin;\n";
    script += std::string(size_t{48} << 20, '\n');
    const std::string path = dir.Write("big.sql.zst", ZstdCompress(script));
    struct Case {
        const char* name;
        int cancelAfterPolls;
        const char* messageStart;
    };
    const Case cases[] = {
        {"room runs out", -1, "一時ファイルの書き込みに失敗しました("},
        {"cancel while it expands", 2, "処理が中止されました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> result = RunInChild(
            [&] {
                // What a full file system does to the writer, without mounting one: writes
                // past 8 MiB fail (the signal that would end the process is ignored).
                ::signal(SIGXFSZ, SIG_IGN);
                struct rlimit limit {};
                limit.rlim_cur = limit.rlim_max = rlim_t{8} << 20;
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return std::string("no limit");
                ThreadedTestJob job(c.cancelAfterPolls);
                return ScanInChild(path, &job);
            },
            kWatchdogSeconds);
        ASSERT_TRUE(result.has_value()) << "the scan hung";
        EXPECT_EQ(result->rfind(c.messageStart, 0), 0u) << *result;
        EXPECT_EQ(result->find("temporary file left"), std::string::npos) << *result;
    }
}
